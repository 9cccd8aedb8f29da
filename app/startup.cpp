#include "startup.h"

#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <string>
#include <vector>

#include "window/messages.h"

namespace qrapp {

namespace {

struct THeldMessage {
    QtMsgType Type;
    QByteArray Category;
    QString Text;
};

// Written only by the message handler, which Qt calls on the thread that is starting it.
std::vector<THeldMessage> HeldMessages;

void HoldMessage(QtMsgType Type, const QMessageLogContext& Context, const QString& Text) {
    if (Type != QtFatalMsg) {
        HeldMessages.push_back({Type, QByteArray(Context.category), Text});
        return;
    }
    // Qt aborts once this returns: the message is written and the process ends here instead.
    // Nothing of the toolkit is up yet, so there is nothing to tidy.
    const QString Reason = HeldMessages.empty() ? Text : HeldMessages.front().Text;
    const std::string Line = qrwindow::NoDisplayMessage(Reason.toStdString());
    std::fputs(Line.c_str(), stderr);
    std::fflush(stderr);
    ::_exit(1);
}

}  // namespace

std::unique_ptr<QApplication> StartApplication(int& argc, char** argv) {
    const QtMessageHandler Previous = qInstallMessageHandler(HoldMessage);
    auto Application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(Previous);
    // The toolkit is up: what it said on the way goes out as it would have.
    for (const THeldMessage& Message : HeldMessages) {
        const QMessageLogContext Context(nullptr, 0, nullptr, Message.Category.constData());
        qt_message_output(Message.Type, Context, Message.Text);
    }
    HeldMessages.clear();
    return Application;
}

}  // namespace qrapp
