// The batch's parts in the test's own process: templates and name cleaning, reading plain and CSV
// lists, the progress and summary texts, its arguments, the ledger's order and its signals.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <poll.h>
#endif

#include "arguments.h"
#include "batchlist.h"
#include "batchname.h"
#include "batchprogress.h"
#include "batchrun.h"
#include "ledger.h"
#include "outputtype.h"
#include "stopsignals.h"

namespace {

using namespace qrcli::batch;

// --- Templates and names -------------------------------------------------------------------

NameTemplate Parsed(const std::string& Text) {
    auto T = NameTemplate::Parse(Text);
    EXPECT_TRUE(T) << Text << ": " << T.Error();
    return *T;
}

TEST(BatchTemplate, FolderRowNumbersNamesAndBraces) {
    const struct {
        std::string Template;
        std::string Folder;
        std::uint64_t Row;
        std::string Name;
        std::string Path;
    } Cases[] = {
        {"{n}.png", "", 7, "", "7.png"},
        {"out/{n:05}.png", "out/", 42, "", "out/00042.png"},
        {"out/{n:02}.png", "out/", 123, "", "out/123.png"},  // wider numbers are not cut
        {"/abs/x-{name}.svg", "/abs/", 1, "Bolt", "/abs/x-Bolt.svg"},
        {"a/b/{name}/{n}.png", "a/b/", 3, "k", "a/b/k/3.png"},
        {"a.v2/{{{n}}}.png", "a.v2/", 9, "", "a.v2/{9}.png"},
        {"x/{{n}}/{n}", "x/{n}/", 2, "", "x/{n}/2"},  // braces before the first placeholder
        {"out/fixed.png", "out/", 5, "", "out/fixed.png"},
        {"/{n}", "/", 1, "", "/1"},
#ifdef _WIN32
        // Windows' own separator, in the folder and after it.
        {"C:\\labels\\{n}.png", "C:\\labels\\", 4, "", "C:\\labels\\4.png"},
        {"out\\{name}\\{n}.png", "out\\", 5, "k", "out\\k\\5.png"},
#endif
    };
    for (const auto& C : Cases) {
        const NameTemplate T = Parsed(C.Template);
        EXPECT_EQ(T.Folder(), C.Folder) << C.Template;
        const auto P = T.Expand(C.Row, C.Name);
        ASSERT_TRUE(P) << C.Template << ": " << P.Error();
        EXPECT_EQ(*P, C.Path) << C.Template;
    }
    EXPECT_TRUE(Parsed("{name}-{n}").UsesName());
    EXPECT_TRUE(Parsed("{name}-{n}").UsesRow());
    EXPECT_FALSE(Parsed("a{{name}}").UsesName());
    // {s}: a symbol's place in its row's set, beside the row.
    const NameTemplate Set = Parsed("out/{n}-{s:02}.png");
    EXPECT_TRUE(Set.UsesSymbol());
    EXPECT_EQ(*Set.Expand(3, "", 7), "out/3-07.png");
    EXPECT_EQ(*Set.Expand(3, "", 12), "out/3-12.png");
    EXPECT_EQ(*Parsed("s{s}.txt").Expand(9, "", 2), "s2.txt");
    EXPECT_FALSE(Parsed("{n}").UsesSymbol());
}

TEST(BatchTemplate, RefusesWhatCouldLeaveItsFolder) {
    for (const char* Bad : {"{x}.png", "{n:5}.png", "{n:0}.png", "{n:021}.png", "{N}", "{s:5}", "{s:0}", "{s:021}", "{S}", "{sn}", "out/{n", "out/}{n}",
                            "out/", "{n}/../x.png", "{n}/./x", "{n}//x", "out/{n}/", "a/{name}/..",
#ifdef _WIN32
                            "{n}\\..\\x.png", "out\\{n}\\", "{n}\\\\x",
#endif
                           }) {
        const auto T = NameTemplate::Parse(Bad);
        ASSERT_FALSE(T) << Bad;
        EXPECT_FALSE(T.Error().empty()) << Bad;
    }
    // Names that would make "." or ".." with the template's own text, or too long a part.
    const NameTemplate Dotted = Parsed("out/.{name}/x.png");
    EXPECT_EQ(Dotted.Expand(1, ".").Error(), "the file name would have a file or folder name \"..\"");
#ifdef _WIN32
    // Windows strips the dots at the end of a name: "..." is no folder of its own there.
    EXPECT_EQ(Dotted.Expand(1, "..").Error(),
              "the file name would have a file or folder name ending in a dot or a space, which Windows strips");
#else
    EXPECT_EQ(*Dotted.Expand(1, ".."), "out/.../x.png");
#endif
    EXPECT_FALSE(Parsed("out/{name}{name}").Expand(1, "."));
    EXPECT_EQ(Parsed("out/{name}.png").Expand(1, std::string(252, 'a')).Error(),  // 256 bytes
              "the file name would have a file or folder name longer than 255 bytes");
    EXPECT_TRUE(Parsed("out/{name}.png").Expand(1, std::string(251, 'a')));  // 255 bytes
    std::string Deep = "d/";
    while (Deep.size() < qrfiles::kMaxPath) Deep += "{name}/";
    EXPECT_EQ(Parsed(Deep + "x").Expand(1, std::string(200, 'a')).Error(), "the path would be longer than 4095 bytes");
}

TEST(BatchName, CleansOrRefusesUntrustedNames) {
    const struct {
        std::string Raw;
        std::string Clean;  // empty: refused
    } Cases[] = {
#ifdef _WIN32
        // Windows refuses these in a name, and reads ':' as a drive or a data stream.
        {"Bolt 5/8\"", "Bolt 5_8_"},
        {"a\\b:c*d?e<f>g|h", "a_b_c_d_e_f_g_h"},
        {"..\\x", ".._x"},
#else
        {"Bolt 5/8\"", "Bolt 5_8\""},
        {"a\\b:c", "a\\b:c"},
#endif
        {"../x", ".._x"},
        {"/etc/passwd", "_etc_passwd"},
        {"a\nb\tc\rd", "a_b_c_d"},
        {std::string("nul\0x", 5), "nul_x"},
        {"del\x7F", "del_"},
        {"c1\xC2\x85", "c1_"},                   // U+0085, next line
        {"rtl\xE2\x80\xAEgpj.exe", "rtl_gpj.exe"},  // U+202E, right-to-left override
        {"ls\xE2\x80\xA8", "ls_"},               // U+2028, line separator
        {"Ol\xC3\xA1 \xE2\x82\xAC", "Ol\xC3\xA1 \xE2\x82\xAC"},
        {"...", "..."},
        {".hidden", ".hidden"},
        {std::string(255, 'n'), std::string(255, 'n')},
        {"", ""},
        {".", ""},
        {"..", ""},
        {std::string(256, 'n'), ""},
        {std::string(10000, 'x'), ""},
        {"bad\xFF", ""},
        {"\xC0\xAF", ""},  // an overlong '/'
    };
    for (const auto& C : Cases) {
        const auto P = CleanName(C.Raw);
        if (C.Clean.empty()) {
            EXPECT_FALSE(P) << C.Raw;
        } else {
            ASSERT_TRUE(P) << C.Raw << ": " << P.Error();
            EXPECT_EQ(*P, C.Clean) << C.Raw;
        }
    }
}

// --- Lists ---------------------------------------------------------------------------------

// A source that hands out Bytes Piece bytes at a time.
ReadFn FromString(std::string Bytes, std::size_t Piece) {
    auto At = std::make_shared<std::size_t>(0);
    return [Bytes = std::move(Bytes), Piece, At](char* Buffer, std::size_t Size) -> long {
        const std::size_t N = std::min({Piece, Size, Bytes.size() - *At});
        Bytes.copy(Buffer, N, *At);
        *At += N;
        return static_cast<long>(N);
    };
}

struct ReadBack {
    std::vector<ListRow> Rows;
    std::string Error;
    bool ColumnNotFound = false;
};

ReadBack ReadList(const ListFormat& Format, const std::string& Bytes, std::size_t Piece) {
    ListReader Reader(Format, FromString(Bytes, Piece));
    ReadBack R;
    for (;;) {
        auto Row = Reader.Next();
        if (!Row) {
            R.Error = Row.Error();
            break;
        }
        if (!*Row)
            break;
        R.Rows.push_back(**Row);
    }
    R.ColumnNotFound = Reader.ColumnNotFound();
    return R;
}

std::vector<std::string> Texts(const ReadBack& R) {
    std::vector<std::string> Out;
    for (const ListRow& Row : R.Rows) Out.push_back(Row.Problem.empty() ? Row.Text : "!" + Row.Problem);
    return Out;
}

TEST(BatchList, PlainLinesInPiecesOfAnySize) {
    const struct {
        std::string Bytes;
        std::vector<std::string> Rows;
    } Cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\n\n", {"a", ""}},
        {"\n", {""}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\n", {"a\rb"}},  // a lone CR belongs to the text
        {"a\r", {"a\r"}},
        {"\xEF\xBB\xBFone\ntwo", {"one", "two"}},  // a byte-order mark is not text
        {"x\n\xEF\xBB\xBF", {"x", "\xEF\xBB\xBF"}},  // only at the start
    };
    for (const auto& C : Cases)
        for (const std::size_t Piece : {std::size_t{1}, std::size_t{2}, std::size_t{1} << 20}) {
            const ReadBack R = ReadList({}, C.Bytes, Piece);
            EXPECT_EQ(Texts(R), C.Rows) << C.Bytes << " in pieces of " << Piece;
            EXPECT_EQ(R.Error, "");
            for (std::size_t i = 0; i < R.Rows.size(); ++i) EXPECT_EQ(R.Rows[i].Number, i + 1);
        }
}

TEST(BatchList, APlainLineOverTheLimitIsARowErrorAndTheNextLineIsWhole) {
    const std::string Long(kMaxRowBytes + 1, 'x');
    const std::string Exact(kMaxRowBytes, 'y');
    for (const std::size_t Piece : {std::size_t{4096}, std::size_t{1} << 20}) {
        const ReadBack R = ReadList({}, "a\n" + Long + "\r\n" + Exact + "\r\nb\n" + Long, Piece);
        ASSERT_EQ(R.Rows.size(), 5u);
        EXPECT_EQ(R.Rows[0].Text, "a");
        EXPECT_NE(R.Rows[1].Problem.find("too long"), std::string::npos);
        EXPECT_EQ(R.Rows[2].Problem, "");
        EXPECT_EQ(R.Rows[2].Text, Exact);
        EXPECT_EQ(R.Rows[3].Text, "b");
        EXPECT_NE(R.Rows[4].Problem.find("too long"), std::string::npos);
    }
}

TEST(BatchList, CsvQuotesCommasLineBreaksAndHeader) {
    const std::string List =
        "\xEF\xBB\xBF"
        "id,text,label\r\n"
        "1,plain,A\r\n"
        "2,\"a, b\",\"B \"\"x\"\"\"\r\n"
        "\r\n"                          // a blank line between records
        "3,\"two\r\nlines\",C\n"        // a line break inside quotes; LF alone ends a record too
        "4, spaced ,\" D \"\r\n"        // spaces belong to the field
        "5,\"\",\n"                     // an empty text and an empty name
        "6\n"                           // too few columns
        "7,last,G";                     // no line end at the end
    ListFormat F;
    F.Csv = true;
    F.Header = true;
    F.Text = *ParseColumn("text");
    F.Name = ParseColumn("3");
    for (const std::size_t Piece : {std::size_t{1}, std::size_t{3}, std::size_t{1} << 20}) {
        const ReadBack R = ReadList(F, List, Piece);
        EXPECT_EQ(R.Error, "") << Piece;
        ASSERT_EQ(R.Rows.size(), 7u) << Piece;
        const std::vector<std::pair<std::string, std::string>> Expected = {
            {"plain", "A"}, {"a, b", "B \"x\""}, {"two\r\nlines", "C"}, {" spaced ", " D "}, {"", ""}, {"", ""},
            {"last", "G"}};
        for (std::size_t i = 0; i < Expected.size(); ++i) {
            EXPECT_EQ(R.Rows[i].Number, i + 1);
            if (i == 5) {
                EXPECT_NE(R.Rows[i].Problem.find("no column 2"), std::string::npos) << R.Rows[i].Problem;
                continue;
            }
            EXPECT_EQ(R.Rows[i].Problem, "") << i;
            EXPECT_EQ(R.Rows[i].Text, Expected[i].first) << i;
            EXPECT_EQ(R.Rows[i].Name, Expected[i].second) << i;
        }
    }
}

TEST(BatchList, CsvErrorsStopTheListAndSayWhere) {
    ListFormat F;
    F.Csv = true;
    // A quote inside an unquoted field, text after a closing quote, a quote never closed.
    for (const std::string& Bad : {std::string("ok\nbad\"x\nnever\n"), std::string("ok\n\"a\"b\nnever\n"),
                                   std::string("ok\n\"open\nnever\n")}) {
        const ReadBack R = ReadList(F, Bad, 1 << 20);
        ASSERT_EQ(R.Rows.size(), 1u) << Bad;
        EXPECT_EQ(R.Rows[0].Text, "ok");
        EXPECT_EQ(R.Error.rfind("row 2: ", 0), 0u) << R.Error;
        EXPECT_FALSE(R.ColumnNotFound);
    }
    // A field that never ends is cut off at the row limit, not read into memory whole.
    std::string Unclosed(kMaxRowBytes + 10000, 'q');
    Unclosed[0] = '"';
    const ReadBack Open = ReadList(F, Unclosed, 1 << 16);
    EXPECT_TRUE(Open.Rows.empty());
    EXPECT_NE(Open.Error.find("longer than"), std::string::npos) << Open.Error;

    F.Header = true;
    F.Text = *ParseColumn("missing");
    const ReadBack NoColumn = ReadList(F, "a,b\n1,2\n", 1 << 20);
    EXPECT_TRUE(NoColumn.Rows.empty());
    EXPECT_TRUE(NoColumn.ColumnNotFound);
    EXPECT_NE(NoColumn.Error.find("\"missing\""), std::string::npos);
}

TEST(BatchList, ColumnsAreNumbersFromOneOrNames) {
    EXPECT_EQ(ParseColumn("3")->Number, 3u);
    EXPECT_EQ(ParseColumn("url")->Name, "url");
    EXPECT_EQ(ParseColumn("3a")->Name, "3a");
    EXPECT_FALSE(ParseColumn("0"));
    EXPECT_FALSE(ParseColumn(""));
    EXPECT_FALSE(ParseColumn("99999999999999999999999"));
}

// --- Texts ---------------------------------------------------------------------------------

TEST(BatchText, ProgressSummaryAndStatus) {
    EXPECT_EQ(ProgressText(0, 10, 0.0), "0/10 rows (0%)");
    EXPECT_EQ(ProgressText(1234, 10000, 0.5), "1234/10000 rows (12%), 2468 rows/s, 0:04 left");
    EXPECT_EQ(ProgressText(500, std::nullopt, 2.0), "500 rows, 250 rows/s");
    EXPECT_EQ(ProgressText(11, 10, 1.0), "11 rows, 11 rows/s");  // the list grew since it was counted
    EXPECT_EQ(ProgressText(1, 10000, 1.0), "1/10000 rows (0%), 1 rows/s, 2:46:39 left");
    EXPECT_EQ(Duration(59), "0:59");
    EXPECT_EQ(Duration(3600), "1:00:00");

    EXPECT_EQ(SummaryText({3, 2, 1, 0}, 0), "3 rows read, 2 files written, 1 row failed");
    EXPECT_EQ(SummaryText({1, 1, 0, 0}, 0), "1 row read, 1 file written, 0 rows failed");
    EXPECT_EQ(SummaryText({10, 6, 1, 3}, SIGINT), "stopped by SIGINT: 10 rows read, 6 files written, 1 row failed, 3 rows not done");
    using qrcli::ExitStatus;
    EXPECT_EQ(BatchStatus({3, 3, 0, 0}, 0, false), ExitStatus::Done);
    EXPECT_EQ(BatchStatus({3, 2, 1, 0}, 0, false), ExitStatus::Failed);
    EXPECT_EQ(BatchStatus({3, 3, 0, 0}, 0, true), ExitStatus::Failed);
    EXPECT_EQ(BatchStatus({3, 3, 0, 0}, SIGINT, false), ExitStatus::Interrupted);
    EXPECT_EQ(BatchStatus({3, 2, 1, 0}, SIGTERM, false), ExitStatus::Terminated);
    EXPECT_EQ(BatchStatus({3, 2, 0, 1}, kBrokenPipe, true), ExitStatus::BrokenPipe);
    EXPECT_EQ(SummaryText({4, 3, 0, 1}, kBrokenPipe), "stopped by SIGPIPE: 4 rows read, 3 files written, 0 rows failed, 1 row not done");
#ifndef _WIN32
    EXPECT_EQ(BatchStatus({3, 2, 1, 0}, SIGHUP, false), ExitStatus::HungUp);
    EXPECT_EQ(SummaryText({4, 4, 0, 0}, SIGQUIT), "stopped by SIGQUIT: 4 rows read, 4 files written, 0 rows failed, 0 rows not done");
#endif
}

TEST(BatchText, TheProgressLineFitsTheTerminal) {
    const std::string Line = "1234/10000 rows (12%), 2345 rows/s, 0:04 left";  // 45 columns
    const struct {
        std::size_t Columns;
        std::string Shown;
    } Cases[] = {
        {0, Line},  // the width is not known
        {46, Line},
        {45, "1234/10000 rows (12%), 2345 rows/s"},
        {35, "1234/10000 rows (12%), 2345 rows/s"},
        {34, "1234/10000 rows (12%)"},
        {22, "1234/10000 rows (12%)"},
        {21, "1234/10000 rows (12%"},
        {2, "1"},
        {1, ""},
    };
    for (const auto& C : Cases) EXPECT_EQ(FitToWidth(Line, C.Columns), C.Shown) << C.Columns;
}

// --- Arguments -----------------------------------------------------------------------------

TEST(BatchArguments, OptionsAndTheirUsageErrors) {
    const auto P = qrcli::ParseArguments({"--batch", "list.csv", "--csv", "--header", "--column", "url",
                                          "--name-column", "2", "-j", "3", "--quiet", "-o", "out/{name}.png"});
    ASSERT_TRUE(P) << P.Error();
    ASSERT_EQ(P->What, qrcli::Action::Run);
    const auto& B = P->Opts.Batch;
    ASSERT_TRUE(B);
    EXPECT_EQ(B->List, "list.csv");
    EXPECT_TRUE(B->Csv && B->Header && B->Quiet);
    EXPECT_EQ(B->Column, "url");
    EXPECT_EQ(B->NameColumn, "2");
    EXPECT_EQ(B->Jobs, 3);
    EXPECT_EQ(qrcli::ResolveType(P->Opts), qrcli::OutputType::Png);
    EXPECT_FALSE(qrcli::ParseArguments({"-o", "x.png", "hi"})->Opts.Batch);

    const std::vector<std::vector<std::string>> Bad = {
        {"--csv", "-o", "x.png"},                                   // CSV options need --batch
        {"--batch", "l", "--header", "-o", "{n}.png"},             // and --header needs --csv
        {"-j", "2", "x"},
        {"--quiet", "x"},
        {"--batch", "l"},                                          // no template
        {"--batch", "l", "-o", "-"},
        {"--batch", "l", "-o", "{n}.png", "text"},                 // a text as well
        {"--batch", "l", "-o", "{n}.png", "--info"},
        {"--batch", "l", "-o", "{x}.png"},
        {"--batch", "l", "-o", "{n}/../x.png"},
        {"--batch", "l", "-o", "{name}.png", "--csv"},             // {name} without a name column
        {"--batch", "l", "-o", "{n}.png", "--csv", "--column", "0"},
        {"--batch", "l", "-o", "{n}.png", "--csv", "--column", "url"},  // a name without --header
        {"--batch", "l", "-o", "{n}.png", "-j", "0"},
    };
    for (const auto& Args : Bad) {
        const auto R = qrcli::ParseArguments(Args);
        ASSERT_FALSE(R) << Args[0] << " " << Args[1] << " " << Args.back();
        EXPECT_EQ(R.Error().find('\n'), std::string::npos) << R.Error();
    }
}

// --- The ledger and the signals ------------------------------------------------------------

TEST(BatchLedger, ReportsInRowOrderAndLetsTheReaderOnOnceHalfTheWindowIsFree) {
    std::vector<std::string> Said;
    const MessageFn Say = [&](const std::string& Message) {
        Said.push_back(Message);
        return 0;
    };
    const StopSignals Stop;
    Ledger Rows(4, std::size_t{1} << 20, Say, false, Stop);
    for (std::uint64_t Row = 1; Row <= 4; ++Row)
        ASSERT_TRUE(Rows.Admit(Row, 10));

    // Row 5 waits until no more than half of the window is in flight.
    std::atomic<bool> Admitted{false};
    std::thread Reader([&] { Admitted = Rows.Admit(5, 10); });
    const auto Settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(60)); };
    Settle();
    EXPECT_FALSE(Admitted);
    Rows.Finish(1, 10, Outcome::Written);
    Settle();
    EXPECT_FALSE(Admitted) << "one free row is not half the window";
    Rows.Finish(3, 10, Outcome::Failed, "third");
    EXPECT_TRUE(Said.empty()) << "row 2 is not done, so nothing after it is said";
    Rows.Finish(2, 10, Outcome::Written, "warning two");
    EXPECT_EQ(Said, (std::vector<std::string>{"row 2: warning two", "row 3: third"}));
    Reader.join();
    EXPECT_TRUE(Admitted);
    Rows.Finish(5, 10, Outcome::Written);
    Rows.Finish(4, 10, Outcome::NotDone);
    const Counts C = Rows.Results();
    EXPECT_EQ(C.Read, 5u);
    EXPECT_EQ(C.Written, 3u);
    EXPECT_EQ(C.Failed, 1u);
    EXPECT_EQ(C.NotDone, 1u);
}

#ifndef _WIN32
// (On Windows the console's events take the signals' place: batch_win32_test.cpp.)
TEST(BatchSignals, AStoppingSignalIsCaughtWakesTheReaderAndStopsTheLedger) {
    struct sigaction Before{};
    sigaction(SIGTERM, nullptr, &Before);
    {
        const StopSignals Stop;
        const MessageFn Quiet = [](const std::string&) { return 0; };
        Ledger Rows(2, std::size_t{1} << 20, Quiet, false, Stop);
        ASSERT_TRUE(Rows.Admit(1, 0));
        ASSERT_TRUE(Rows.Admit(2, 0));
        EXPECT_EQ(Stop.Caught(), 0);
        raise(SIGTERM);
        raise(SIGINT);  // the first one counts
        EXPECT_EQ(Stop.Caught(), SIGTERM);
        pollfd Wake{Stop.WakeFd(), POLLIN, 0};
        EXPECT_EQ(poll(&Wake, 1, 0), 1);
        // A full window no longer waits for room: the run is stopping.
        EXPECT_FALSE(Rows.Admit(3, 0));
        // Threads started for the run take the stopping signals as the reading thread does, and
        // hold back the others that would end the process; faults and job control stay.
        sigset_t Mask;
        StopSignals::StartThread([&] { pthread_sigmask(SIG_BLOCK, nullptr, &Mask); }).join();
        for (const int Held : {SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU, SIGVTALRM, SIGPROF})
            EXPECT_TRUE(sigismember(&Mask, Held)) << Held;
        for (const int Taken : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGSEGV, SIGTSTP, SIGWINCH, SIGCHLD})
            EXPECT_FALSE(sigismember(&Mask, Taken)) << Taken;
    }
    struct sigaction After{};
    sigaction(SIGTERM, nullptr, &After);
    EXPECT_EQ(After.sa_handler, Before.sa_handler) << "the handler is put back when the run ends";
}
#endif

}  // namespace
