// The writer's pieces that are the same on every system: the texts of its messages.

#include "writefile.h"

namespace qrfiles {

std::string TrimErrorText(std::string Text) {
    while (!Text.empty() && (Text.back() == '.' || Text.back() == ' ' || Text.back() == '\t' || Text.back() == '\r' ||
                             Text.back() == '\n'))
        Text.pop_back();
    return Text;
}

std::string FileErrorText(FileStage Stage, std::string_view FullName, std::string Reason) {
    std::string Text = Stage == FileStage::Create ? "Cannot create file \"" : "Cannot write file \"";
    Text += FullName;
    Text += "\". ";
    Text += TrimErrorText(std::move(Reason));
    return Text;
}

Failure Cannot(std::string_view Doing, int Error) {
    std::string Text = "cannot ";
    Text += Doing;
    Text += ": ";
    Text += ErrorText(Error);
    return {std::move(Text)};
}

Failure Cannot(std::string_view Doing, std::string_view Path, int Error) {
    std::string What(Doing);
    What += " \"";
    What += Path;
    What += '"';
    return Cannot(What, Error);
}

}  // namespace qrfiles
