// quandrel-qr --batch run as a process: lists in, files out (decoded with zbar), names from the
// template, row errors and exit statuses, the same files whatever the workers, streaming with few
// rows in flight, signals, and the progress line on a terminal.

#include <dirent.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "clirun.h"
#include "pngread.h"
#include "zbardecode.h"

namespace {

namespace fs = std::filesystem;
using clirun::ReadAll;
using clirun::Result;
using clirun::RunQr;

// Each test's folder: batch-NAME-PID.
struct TempDir : clirun::TempDir {
    explicit TempDir(const std::string& Name) : clirun::TempDir("batch-" + Name) {}
};

// What zbar reads in a PNG file.
std::vector<std::string> Decode(const fs::path& File) {
    const std::string Bytes = ReadAll(File);
    const auto Image = pngtest::ReadPng(std::span(reinterpret_cast<const unsigned char*>(Bytes.data()), Bytes.size()));
    if (!Image)
        return {"(not a PNG)"};
    return zbartest::DecodeGrey(Image->GreyOnWhite(), Image->Width, Image->Height);
}

std::vector<std::string> Lines(const std::string& Text) {
    std::vector<std::string> Out;
    std::size_t Start = 0;
    for (std::size_t End; (End = Text.find('\n', Start)) != std::string::npos; Start = End + 1)
        Out.push_back(Text.substr(Start, End - Start));
    if (Start < Text.size())
        Out.push_back(Text.substr(Start));
    return Out;
}

// Every entry of a folder tree, relative to it, with the bytes of each file ("<dir>" for folders).
std::map<std::string, std::string> Tree(const fs::path& Root) {
    std::map<std::string, std::string> Out;
    for (const auto& Entry : fs::recursive_directory_iterator(Root))
        Out[fs::relative(Entry.path(), Root).string()] = Entry.is_directory() ? "<dir>" : ReadAll(Entry.path());
    return Out;
}

// Entries of a folder, hidden ones (a writer's temporary files) included.
std::size_t FilesIn(const fs::path& Folder) {
    std::size_t Count = 0;
    if (DIR* D = opendir(Folder.c_str())) {
        while (const dirent* E = readdir(D)) Count += std::strcmp(E->d_name, ".") != 0 && std::strcmp(E->d_name, "..") != 0;
        closedir(D);
    }
    return Count;
}

// Waits until Folder holds at least Count files; false after 60 seconds.
bool WaitForFiles(const fs::path& Folder, std::size_t Count) {
    for (int i = 0; i < 6000; ++i) {
        if (FilesIn(Folder) >= Count)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(BatchProcess, PlainListFromAFileOrStandardInputMakesOneDecodableFileARow) {
    TempDir Dir("plain");
    const std::vector<std::string> Texts = {"https://example.com/a?b=1", "Ol\xC3\xA1, mundo \xE2\x82\xAC", "",
                                            "last line without an end"};
    const std::string List = Texts[0] + "\r\n" + Texts[1] + "\n\n" + Texts[3];
    clirun::WriteAll(Dir.Path / "list.txt", List);

    const Result R = RunQr({"--batch", (Dir.Path / "list.txt").string(), "-o", (Dir.Path / "out/{n:03}.png").string()});
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(R.Err, "quandrel-qr: 4 rows read, 4 files written, 0 rows failed\n");
    EXPECT_TRUE(R.Out.empty());
    for (std::size_t i = 0; i < Texts.size(); ++i) {
        const fs::path File = Dir.Path / "out" / ("00" + std::to_string(i + 1) + ".png");
        EXPECT_EQ(Decode(File), std::vector<std::string>{Texts[i]}) << File;
    }

    // The same list on standard input, into a folder that exists: the same files.
    fs::create_directories(Dir.Path / "in");
    const Result Piped = RunQr({"--batch", "-", "-o", (Dir.Path / "in/{n:03}.png").string()}, List);
    EXPECT_EQ(Piped.Status, 0) << Piped.Err;
    EXPECT_EQ(Tree(Dir.Path / "in"), Tree(Dir.Path / "out"));
}

TEST(BatchProcess, CsvWithHeaderTextAndNameColumns) {
    TempDir Dir("csv");
    const std::string List =
        "sku,label,url\r\n"
        "1,\"Bolt 5/8\"\"\",\"https://shop.example/bolt?size=5/8\"\"\"\r\n"
        "2,\"Nut, M6\",\"line one\r\nline two\"\r\n"
        "3,../../escape,\"a,b,c\"\r\n";
    clirun::WriteAll(Dir.Path / "list.csv", List);
    const Result R = RunQr({"--batch", (Dir.Path / "list.csv").string(), "--csv", "--header", "--column", "url",
                            "--name-column", "label", "-o", (Dir.Path / "labels/{n}-{name}.png").string(), "-j", "2"});
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(Lines(R.Err).back(), "quandrel-qr: 3 rows read, 3 files written, 0 rows failed");
    const std::map<std::string, std::string> Expected = {
        {"1-Bolt 5_8\".png", "https://shop.example/bolt?size=5/8\""},
        {"2-Nut, M6.png", "line one\r\nline two"},
        {"3-.._.._escape.png", "a,b,c"},  // inside the folder, whatever the name says
    };
    std::vector<std::string> Names;
    for (const auto& Entry : fs::directory_iterator(Dir.Path / "labels")) Names.push_back(Entry.path().filename());
    std::sort(Names.begin(), Names.end());
    EXPECT_EQ(Names, (std::vector<std::string>{"1-Bolt 5_8\".png", "2-Nut, M6.png", "3-.._.._escape.png"}));
    for (const auto& [Name, Text] : Expected)
        EXPECT_EQ(Decode(Dir.Path / "labels" / Name), std::vector<std::string>{Text}) << Name;
    EXPECT_FALSE(fs::exists(Dir.Path / "escape.png"));
}

TEST(BatchProcess, EachFaultIsReportedWithItsRowAndTheOtherRowsAreWritten) {
    TempDir Dir("faults");
    const fs::path Out = Dir.Path / "out";
    fs::create_directories(Out / "dir.png");                        // a folder where a file would go
    clirun::WriteAll(Dir.Path / "outside.txt", "keep me");
    fs::create_symlink(Dir.Path / "outside.txt", Out / "link.png");  // a link that leads outside
    clirun::WriteAll(Out / "old.png", "an older file, replaced whole");
    const std::string List =
        "text,name\n"
        "one,a\n"                                         // 1 written
        "\"\xFF\",b\n"                                    // 2 not UTF-8
        "\"" + std::string(2954, 'x') + "\",c\n"          // 3 too long; takes no name
        "two,\"\"\n"                                      // 4 empty name
        "three,..\n"                                      // 5 ".." as a name
        "four,a\n"                                        // 6 row 1's file
        "five,dir\n"                                      // 7 a folder is in the way
        "six,link\n"                                      // 8 a symbolic link
        "seven,c\n"                                       // 9 written: row 3 never took "c"
        "eight,old\n"                                     // 10 replaces old.png
        "nine\n";                                         // 11 no name column
    clirun::WriteAll(Dir.Path / "list.csv", List);
    const Result R = RunQr({"--batch", (Dir.Path / "list.csv").string(), "--csv", "--header", "--name-column", "name",
                            "-o", (Out / "{name}.png").string(), "--quiet"});
    EXPECT_EQ(R.Status, 1);
    const std::vector<std::string> Err = Lines(R.Err);
    const std::vector<std::string> Expected = {
        "row 2: the text is not valid UTF-8",
        "row 3: text too long for a QR symbol: 2954 bytes",
        "row 4: the name is empty",
        "row 5: the name is \"..\"",
        "row 6: \"" + (Out / "a.png").string() + "\" is already the file of row 1",
        "row 7: \"" + (Out / "dir.png").string() + "\" exists and is not a regular file",
        "row 8: \"" + (Out / "link.png").string() + "\" is a symbolic link",
        "row 11: no column 2 for the name",
        "11 rows read, 3 files written, 8 rows failed",
    };
    ASSERT_EQ(Err.size(), Expected.size()) << R.Err;
    for (std::size_t i = 0; i < Expected.size(); ++i)
        EXPECT_EQ(Err[i].rfind("quandrel-qr: " + Expected[i], 0), 0u) << Err[i];
    EXPECT_EQ(Decode(Out / "a.png"), std::vector<std::string>{"one"});
    EXPECT_EQ(Decode(Out / "c.png"), std::vector<std::string>{"seven"});
    EXPECT_EQ(Decode(Out / "old.png"), std::vector<std::string>{"eight"});
    EXPECT_EQ(ReadAll(Dir.Path / "outside.txt"), "keep me");
    EXPECT_TRUE(fs::is_symlink(Out / "link.png"));
    EXPECT_EQ(FilesIn(Out), 5u);  // a, c, old, dir.png and link.png: nothing else, no temporary file

    // Characters an encoding leaves out are a warning with the row, not a failure.
    const Result Numeric = RunQr({"--batch", "-", "--encoding", "numeric", "-o", (Dir.Path / "num/{n}.png").string()},
                                 "12a3\n45\n");
    EXPECT_EQ(Numeric.Status, 0);
    EXPECT_EQ(Lines(Numeric.Err),
              (std::vector<std::string>{"quandrel-qr: row 1: warning: 1 character left out of the symbol: numeric holds "
                                        "only the digits 0-9",
                                        "quandrel-qr: 2 rows read, 2 files written, 0 rows failed"}));
    EXPECT_EQ(Decode(Dir.Path / "num/1.png"), std::vector<std::string>{"123"});
}

TEST(BatchProcess, TheFilesAndMessagesAreTheSameWhateverTheWorkers) {
    TempDir Dir("jobs");
    std::string List = "text,name\n";
    for (int i = 0; i < 240; ++i) {
        std::string Text = "https://example.com/item/" + std::to_string(i * 7919 % 1000) + "/";
        Text.append(static_cast<std::size_t>(i * 37 % 300), static_cast<char>('a' + i % 26));
        if (i % 50 == 17)
            Text = std::string(3000, 'z');  // fails
        List += "\"" + Text + "\",name" + std::to_string(i % 200) + "\n";  // the last 40 repeat names
    }
    clirun::WriteAll(Dir.Path / "list.csv", List);
    const std::vector<std::string> Options = {"--csv", "--header", "--name-column", "2", "-s", "4", "-m", "2",
                                              "-l", "Q", "--foreground", "1f3a93", "--quiet"};
    std::map<std::string, std::string> First;
    std::string FirstErr;
    for (const char* Jobs : {"1", "2", "5"}) {
        const fs::path Out = Dir.Path / (std::string("j") + Jobs);
        std::vector<std::string> Args = {"--batch", (Dir.Path / "list.csv").string(), "-j", Jobs, "-o",
                                         (Out / "{name}.png").string()};
        Args.insert(Args.end(), Options.begin(), Options.end());
        const Result R = RunQr(Args);
        EXPECT_EQ(R.Status, 1) << R.Err;
        std::string Err = R.Err;
        for (std::size_t At; (At = Err.find(Out.string())) != std::string::npos;) Err.replace(At, Out.string().size(), "OUT");
        const auto Files = Tree(Out);
        if (First.empty()) {
            First = Files;
            FirstErr = Err;
            // Rows 18, 68, ... fail for their length; rows 201 to 240 repeat the names of rows 1 to 40
            // (row 218 fails for its length first).
            EXPECT_EQ(Files.size(), 196u);
            EXPECT_EQ(Lines(Err).back(), "quandrel-qr: 240 rows read, 196 files written, 44 rows failed");
            EXPECT_EQ(Lines(Err)[4], "quandrel-qr: row 201: \"OUT/name0.png\" is already the file of row 1");
        } else {
            EXPECT_EQ(Files, First) << "-j " << Jobs;
            EXPECT_EQ(Err, FirstErr) << "-j " << Jobs;
        }
    }
    // A row's file is the single-symbol command's file for the same text and options.
    std::vector<std::string> Single = {"-o", (Dir.Path / "single.png").string()};
    Single.insert(Single.end(), Options.begin() + 4, Options.end() - 1);
    Single.push_back("https://example.com/item/0/");
    ASSERT_EQ(RunQr(Single).Status, 0);
    EXPECT_EQ(ReadAll(Dir.Path / "single.png"), First.at("name0.png"));

    // Names without {name} and the row number's width: no name is remembered, none repeats.
    const Result Numbered = RunQr({"--batch", (Dir.Path / "list.csv").string(), "--csv", "--header", "-o",
                                   (Dir.Path / "n/{n:05}.svg").string(), "--quiet"});
    EXPECT_EQ(Numbered.Status, 1);
    EXPECT_TRUE(fs::exists(Dir.Path / "n/00240.svg"));
    EXPECT_EQ(ReadAll(Dir.Path / "n/00001.svg").rfind("<?xml", 0), 0u);
}

TEST(BatchProcess, StreamsTheListWithFewRowsInFlight) {
    // 400 rows of 2900 bytes (version 40 symbols, the slowest there are) pushed into a pipe as
    // fast as the program takes them: the rows it has taken but not finished stay few.
    TempDir Dir("stream");
    const fs::path Out = Dir.Path / "out";
    fs::create_directories(Out);
    clirun::Process P = clirun::Start(QUANDREL_QR, clirun::QrArgs({"--batch", "-", "-j", "2", "-o",
                                                                   (Out / "{n}.png").string()}),
                                      "", true);
    ASSERT_EQ(P.Spawned, 0);
    std::size_t MostAhead = 0;
    const int Rows = 400;
    for (int i = 0; i < Rows; ++i) {
        std::string Row(2900, static_cast<char>('A' + i % 26));
        Row += '\n';
        ASSERT_TRUE(clirun::Send(P, Row));
        if (i % 20 == 19)
            MostAhead = std::max(MostAhead, static_cast<std::size_t>(i + 1) - FilesIn(Out));
    }
    const Result R = clirun::Finish(P);
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(FilesIn(Out), static_cast<std::size_t>(Rows));
    // The pipe (64 KiB) and one piece of reading (32 KiB) hold about 33 rows; the window of rows
    // in flight is 40 for -j 2 (4 a worker, one for each of the 16 flushers, and 16).
    EXPECT_LE(MostAhead, 100u);
    EXPECT_GE(MostAhead, 1u);

    // Lines longer than a text can be are refused without keeping them: 400 MB through the pipe.
    std::size_t Sent = 0;
    const std::string Chunk(1 << 20, 'L');
    const Result Long = RunQr({"--batch", "-", "-o", (Dir.Path / "long/{n}.png").string()}, "", [&]() -> std::string {
        if (Sent >= 400)
            return {};
        return ++Sent % 100 == 0 ? Chunk + "\nshort " + std::to_string(Sent) + "\n" : Chunk;
    });
    EXPECT_EQ(Long.Status, 1);
    EXPECT_EQ(Lines(Long.Err).back(), "quandrel-qr: 8 rows read, 4 files written, 4 rows failed");
    EXPECT_EQ(Decode(Dir.Path / "long/8.png"), std::vector<std::string>{"short 400"});
    EXPECT_LT(Long.MaxRssKiB, 200 * 1024) << Long.MaxRssKiB << " KiB";
}

// Starts a run that reads a pipe, feeds it Rows rows from another thread, and sends Signal once
// After files exist; the pipe stays open until the run has ended. Returns what the run left.
Result Interrupted(const fs::path& Out, int Signal, int Rows, std::size_t After) {
    clirun::Process P =
        clirun::Start(QUANDREL_QR, clirun::QrArgs({"--batch", "-", "-o", (Out / "{n}.png").string()}), "", true);
    EXPECT_EQ(P.Spawned, 0);
    std::thread Feeder([&] {
        for (int i = 1; i <= Rows; ++i)
            if (!clirun::Send(P, "row " + std::to_string(i) + " " + std::string(static_cast<std::size_t>(i % 400), 'r') + "\n"))
                break;  // the run has ended
    });
    EXPECT_TRUE(WaitForFiles(Out, After));
    kill(P.Pid, Signal);
    Feeder.join();
    return clirun::Finish(P, true);
}

TEST(BatchProcess, SignalsStopTheRunAndLeaveOnlyWholeFiles) {
    TempDir Dir("signal");
    // While the workers are busy with a long list.
    for (const auto& [Signal, Status, Name] : {std::tuple{SIGINT, 130, "SIGINT"}, std::tuple{SIGTERM, 143, "SIGTERM"}}) {
        const fs::path Out = Dir.Path / Name;
        const Result R = Interrupted(Out, Signal, 100000, 200);
        EXPECT_EQ(R.Status, Status) << R.Err;
        const std::string Last = Lines(R.Err).back();
        const std::string Prefix = std::string("quandrel-qr: stopped by ") + Name + ": ";
        ASSERT_EQ(Last.rfind(Prefix, 0), 0u) << R.Err;
        std::size_t Read = 0, Written = 0, NotDone = 0;
        char Failed[16] = {};
        ASSERT_EQ(std::sscanf(Last.c_str() + Prefix.size(), "%zu rows read, %zu files written, %15[^,], %zu row", &Read,
                              &Written, Failed, &NotDone),
                  4)
            << Last;
        EXPECT_STREQ(Failed, "0 rows failed");
        EXPECT_EQ(Read, Written + NotDone);
        EXPECT_GE(Written, 200u);
        EXPECT_LT(Read, 100000u);
        // Every file is whole and named for its row; nothing else is in the folder.
        std::size_t Files = 0;
        for (const auto& Entry : fs::directory_iterator(Out)) {
            ++Files;
            const std::string Name_ = Entry.path().filename();
            ASSERT_EQ(Name_.substr(Name_.size() - 4), ".png") << Name_;
            const int Row = std::stoi(Name_);
            EXPECT_EQ(Decode(Entry.path()),
                      std::vector<std::string>{"row " + std::to_string(Row) + " " + std::string(static_cast<std::size_t>(Row % 400), 'r')})
                << Name_;
        }
        EXPECT_EQ(Files, Written);
    }
    // While it waits for more of the list: the signal ends the wait.
    const Result Waiting = Interrupted(Dir.Path / "waiting", SIGTERM, 3, 3);
    EXPECT_EQ(Waiting.Status, 143);
    EXPECT_EQ(Lines(Waiting.Err).back(),
              "quandrel-qr: stopped by SIGTERM: 3 rows read, 3 files written, 0 rows failed, 0 rows not done");
}

TEST(BatchProcess, ProgressOnATerminalOnly) {
    TempDir Dir("progress");
    std::string List;
    for (int i = 0; i < 5000; ++i) List += "https://example.com/p/" + std::to_string(i) + "\n";
    clirun::WriteAll(Dir.Path / "list.txt", List);
    // Standard error on a pseudo-terminal, read to its end.
    // Each run writes new files (replacing files is slower: each is flushed before it is replaced).
    int Runs = 0;
    const auto NewFolder = [&] { return (Dir.Path / ("out" + std::to_string(++Runs)) / "{n}.svg").string(); };
    const auto OnTerminal = [&](const std::vector<std::string>& Extra) {
        int Master = -1, Slave = -1;
        EXPECT_EQ(openpty(&Master, &Slave, nullptr, nullptr, nullptr), 0);
        std::vector<std::string> Args = clirun::QrArgs({"--batch", (Dir.Path / "list.txt").string(), "-o", NewFolder()});
        Args.insert(Args.end(), Extra.begin(), Extra.end());
        std::vector<char*> Argv;
        for (auto& A : Args) Argv.push_back(A.data());
        Argv.push_back(nullptr);
        posix_spawn_file_actions_t Actions;
        posix_spawn_file_actions_init(&Actions);
        posix_spawn_file_actions_adddup2(&Actions, Slave, 2);
        posix_spawn_file_actions_addclose(&Actions, Master);
        pid_t Pid = 0;
        EXPECT_EQ(posix_spawn(&Pid, QUANDREL_QR, &Actions, nullptr, Argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&Actions);
        close(Slave);
        std::string Seen;
        char Buffer[4096];
        for (ssize_t Got; (Got = read(Master, Buffer, sizeof Buffer)) > 0;) Seen.append(Buffer, static_cast<std::size_t>(Got));
        close(Master);
        int Status = 0;
        waitpid(Pid, &Status, 0);
        EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Seen;
        return Seen;
    };
    const std::string Shown = OnTerminal({});
    EXPECT_NE(Shown.find("/5000 rows ("), std::string::npos) << Shown;
    EXPECT_NE(Shown.find("\r\x1b[K"), std::string::npos);
    // The line is cleared before the summary, which stands alone on the last line.
    EXPECT_NE(Shown.find("\r\x1b[Kquandrel-qr: 5000 rows read, 5000 files written, 0 rows failed\r\n"), std::string::npos)
        << Shown;
    EXPECT_EQ(OnTerminal({"--quiet"}), "quandrel-qr: 5000 rows read, 5000 files written, 0 rows failed\r\n");
    const Result NoTerminal = RunQr({"--batch", (Dir.Path / "list.txt").string(), "-o", NewFolder()});
    EXPECT_EQ(NoTerminal.Err, "quandrel-qr: 5000 rows read, 5000 files written, 0 rows failed\n");
}

TEST(BatchProcess, ArgumentAndListErrorsExitWithTwo) {
    TempDir Dir("args");
    clirun::WriteAll(Dir.Path / "list.csv", "a,b\n1,2\n");
    const std::string Out = (Dir.Path / "out/{n}.png").string();
    const struct {
        std::vector<std::string> Args;
        std::string Message;
    } Cases[] = {
        {{"--batch", (Dir.Path / "missing.txt").string(), "-o", Out}, "cannot open the list"},
        {{"--batch", Dir.Path.string(), "-o", Out}, "Is a directory"},
        {{"--batch", (Dir.Path / "list.csv").string(), "--csv", "--header", "--column", "url", "-o", Out},
         "no column named \"url\" in the header"},
        {{"--batch", (Dir.Path / "list.csv").string(), "-o", Dir.Path.string() + "/{nn}.png"}, "unknown placeholder"},
        {{"--batch", (Dir.Path / "list.csv").string(), "-o", Dir.Path.string() + "/{name}.png"}, "needs --name-column"},
    };
    for (const auto& C : Cases) {
        const Result R = RunQr(C.Args);
        EXPECT_EQ(R.Status, 2) << R.Err;
        EXPECT_EQ(Lines(R.Err).size(), 1u) << R.Err;
        EXPECT_NE(R.Err.find(C.Message), std::string::npos) << R.Err;
    }
    EXPECT_FALSE(fs::exists(Dir.Path / "out"));
}

}  // namespace
