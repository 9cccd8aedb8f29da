// quandrel-qr --batch run as a process: lists in, files out (decoded with zbar), names from the
// template, row errors and exit statuses, the same files whatever the workers, streaming with few
// rows in flight, signals, and the progress line on a terminal.

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "clirun.h"
#include "pngread.h"
#include "writefile.h"
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
    // The text beyond ASCII is warned of once, with its row.
    EXPECT_EQ(R.Err,
              "quandrel-qr: row 2: warning: the text is not ASCII and no ECI header marks it as UTF-8, so readers "
              "that guess the character set may misread it (--eci adds the header)\n"
              "quandrel-qr: 4 rows read, 4 files written, 0 rows failed\n");
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

// What zbar reads from a row's set put side by side in one picture, as ImageMagick appends them:
// zbar joins a structured-append set only when all of its symbols are in view.
std::vector<std::string> DecodeSideBySide(const std::vector<fs::path>& Files, const fs::path& Joined) {
    std::string Command = "convert";
    for (const fs::path& File : Files) Command += " '" + File.string() + "'";
    Command += " +append '" + Joined.string() + "'";
    if (std::system(Command.c_str()) != 0)
        return {"(convert failed)"};
    return Decode(Joined);
}

// --symbols in a batch: each row its own set, {s} the symbol and {n} the row; the files are those
// a single run writes, and a text that no set holds fails its row alone.
TEST(BatchProcess, EachRowIsItsOwnStructuredAppendSet) {
    TempDir Dir("symbols");
    // At level H a version 40 symbol holds 1273 bytes: 3000 take three, 21000 more than sixteen.
    std::string Long;
    for (int i = 0; i < 3000; ++i) Long += static_cast<char>("quandrel-Set/"[i % 13]);
    const std::vector<std::string> Texts = {Long, "row two", std::string(21000, 'x')};
    clirun::WriteAll(Dir.Path / "list.txt", Texts[0] + "\n" + Texts[1] + "\n" + Texts[2] + "\n");
    const std::vector<std::string> Look = {"--symbols", "auto", "-l", "H", "-s", "2"};
    std::vector<std::string> Args = Look;
    for (const std::string& A :
         {std::string("--batch"), (Dir.Path / "list.txt").string(), std::string("-o"), (Dir.Path / "out/r{n}-{s:02}.png").string()})
        Args.push_back(A);
    const Result R = RunQr(Args);
    EXPECT_EQ(R.Status, 1) << R.Err;
    EXPECT_EQ(R.Err,
              "quandrel-qr: row 3: text too long for 16 symbols at level H, or shorter than one character each\n"
              "quandrel-qr: 3 rows read, 4 files written, 1 row failed\n");
    const fs::path Out = Dir.Path / "out";
    const std::vector<fs::path> First = {Out / "r1-01.png", Out / "r1-02.png", Out / "r1-03.png"};
    EXPECT_EQ(DecodeSideBySide(First, Dir.Path / "joined1.png"), std::vector<std::string>{Texts[0]});
    EXPECT_EQ(Decode(Out / "r2-01.png"), std::vector<std::string>{Texts[1]});
    std::map<std::string, std::string> Expected;
    for (const char* Name : {"r1-01.png", "r1-02.png", "r1-03.png", "r2-01.png"}) Expected[Name] = "";
    std::map<std::string, std::string> Written = Tree(Out);
    for (auto& [Name, Bytes] : Written) Bytes.clear();
    EXPECT_EQ(Written, Expected);  // no fourth symbol for row 1, nothing of row 3

    // Byte for byte the files of a single run of each text, there with {s} as the symbol's place.
    for (std::size_t Row = 0; Row < 2; ++Row) {
        std::vector<std::string> Single = Look;
        for (const std::string& A : {std::string("-o"), (Dir.Path / ("single{s}.png")).string(), Texts[Row]})
            Single.push_back(A);
        ASSERT_EQ(RunQr(Single).Status, 0);
        for (int k = 1; k <= (Row == 0 ? 3 : 1); ++k)
            EXPECT_EQ(ReadAll(Dir.Path / ("single" + std::to_string(k) + ".png")),
                      ReadAll(Out / ("r" + std::to_string(Row + 1) + "-0" + std::to_string(k) + ".png")))
                << "row " << Row + 1 << " symbol " << k;
    }

    // {n}{s} names row 1's 11th symbol and row 11's 1st alike: the later row fails, whichever is
    // written first.
    std::string Eleven;
    for (int i = 1; i <= 11; ++i) Eleven += "text number " + std::to_string(10 + i) + "\n";
    const Result Met = RunQr({"--symbols", "12", "-t", "matrix", "--batch", "-", "-o", (Out / "m{n}{s}.txt").string()},
                             Eleven);
    EXPECT_EQ(Met.Status, 1);
    EXPECT_EQ(Met.Err, "quandrel-qr: row 11: \"" + (Out / "m111.txt").string() + "\" is already the file of row 1\n"
                       "quandrel-qr: 11 rows read, 120 files written, 1 row failed\n");
}

// -v, --strict-version, --mask, --optimize, --kanji, --eci and --micro hold for every row: each file is
// the one a single run with the same options writes, and a row its fixed version cannot hold
// fails alone.
TEST(BatchProcess, TheSymbolChoicesApplyToEveryRow) {
    TempDir Dir("choices");
    const std::vector<std::string> Rows = {
        "\xE6\x9D\xB1\xE4\xBA\xAC\xE9\x83\xBD\xE5\x8D\x83\xE4\xBB\xA3\xE7\x94\xB0\xE5\x8C\xBA 1-9-1",  // 東京都千代田区 1-9-1
        "https://example.org/track?id=73920184650293817465028391746502",
        std::string(120, 'q'),  // more than version 4 holds at level M
    };
    std::string List;
    for (const std::string& Row : Rows) List += Row + "\n";
    const std::vector<std::string> Choices = {"-l", "M", "-v", "4", "--strict-version", "--mask", "5",
                                              "--optimize", "--kanji", "--eci"};
    std::vector<std::string> Args = {"--batch", "-", "-o", (Dir.Path / "out/{n}.png").string()};
    Args.insert(Args.end(), Choices.begin(), Choices.end());
    const Result R = RunQr(Args, List);
    EXPECT_EQ(R.Status, 1) << R.Err;
    EXPECT_NE(R.Err.find("row 3: text too long for version 4 at level M (--strict-version)"), std::string::npos) << R.Err;
    EXPECT_NE(R.Err.find("3 rows read, 2 files written, 1 row failed"), std::string::npos) << R.Err;
    for (std::size_t i = 0; i < 2; ++i) {
        std::vector<std::string> Single = {"-o", (Dir.Path / "single.png").string()};
        Single.insert(Single.end(), Choices.begin(), Choices.end());
        Single.insert(Single.end(), {"--", Rows[i]});
        ASSERT_EQ(RunQr(Single).Status, 0);
        EXPECT_EQ(ReadAll(Dir.Path / ("out/" + std::to_string(i + 1) + ".png")), ReadAll(Dir.Path / "single.png"))
            << "row " << i + 1;
    }
    EXPECT_EQ(Decode(Dir.Path / "out/2.png"), std::vector<std::string>{Rows[1]});
    EXPECT_FALSE(fs::exists(Dir.Path / "out/3.png"));

    // --micro too (its own quiet zone of 2), and a row no Micro QR symbol holds fails alone.
    const std::vector<std::string> Micro = {"--micro", "--encoding", "auto", "-t", "matrix"};
    std::vector<std::string> MicroArgs = {"--batch", "-", "-o", (Dir.Path / "micro/{n}.txt").string()};
    MicroArgs.insert(MicroArgs.end(), Micro.begin(), Micro.end());
    const Result M = RunQr(MicroArgs, "12345\nHELLO\n" + std::string(40, 'x') + "\n");
    EXPECT_EQ(M.Status, 1) << M.Err;
    EXPECT_NE(M.Err.find("row 3: text too long for a Micro QR symbol at level L"), std::string::npos) << M.Err;
    for (const auto& [Row, Text] : {std::pair<int, std::string>{1, "12345"}, {2, "HELLO"}}) {
        std::vector<std::string> Single = Micro;
        Single.push_back(Text);
        EXPECT_EQ(ReadAll(Dir.Path / ("micro/" + std::to_string(Row) + ".txt")), RunQr(Single).Out) << Text;
    }
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

// A payload from each row: fields from columns named as them in the header, by --field from a
// number or a name, and from options for every row; a refused field fails its row alone.
TEST(BatchProcess, PayloadFieldsComeFromColumnsAndABadFieldFailsItsRow) {
    TempDir Dir("payload");
    clirun::WriteAll(Dir.Path / "wifi.csv",
                     "ssid,key,hidden\n"
                     "Casa,segredo123,no\n"
                     "\"a;b\",\"p,a:s\"\"s word\",yes\n"
                     ",segredo123,no\n"
                     "N,segredo123,maybe\n"
                     "N,short,\n");
    const Result R = RunQr({"wifi", "--security", "wpa", "--field", "password=key", "--batch",
                            (Dir.Path / "wifi.csv").string(), "--csv", "--header", "-o",
                            (Dir.Path / "w/{n}.png").string()});
    EXPECT_EQ(R.Status, 1) << R.Err;
    EXPECT_EQ(Lines(R.Err), (std::vector<std::string>{
                                "quandrel-qr: row 3: the SSID is empty",
                                "quandrel-qr: row 4: the hidden column: 'maybe' is neither yes nor no",
                                "quandrel-qr: row 5: a WPA password has 8 to 63 bytes, or 64 hexadecimal digits",
                                "quandrel-qr: 5 rows read, 2 files written, 3 rows failed"}));
    EXPECT_EQ(Decode(Dir.Path / "w/1.png"), std::vector<std::string>{"WIFI:T:WPA;S:Casa;P:segredo123;;"});
    EXPECT_EQ(Decode(Dir.Path / "w/2.png"), std::vector<std::string>{"WIFI:T:WPA;S:a\\;b;H:true;P:p\\,a\\:s\\\"s word;;"});
    EXPECT_EQ(FilesIn(Dir.Path / "w"), 2u);

    // Without a header, by number; a row without the column fails alone; EPC rows are level M.
    clirun::WriteAll(Dir.Path / "epc.csv",
                     "Ana,DE89370400440532013000,1.50\n"
                     "Rui,DE89370400440532013001,2\n"
                     "Eva\n");
    const Result Epc = RunQr({"epc", "--field", "name=1", "--field", "iban=2", "--field", "amount=3", "--batch",
                              (Dir.Path / "epc.csv").string(), "--csv", "-o", (Dir.Path / "e/{n}.png").string()});
    EXPECT_EQ(Epc.Status, 1) << Epc.Err;
    const auto EpcLines = Lines(Epc.Err);
    ASSERT_EQ(EpcLines.size(), 3u) << Epc.Err;
    EXPECT_EQ(EpcLines[0].rfind("quandrel-qr: row 2: ", 0), 0u) << EpcLines[0];
    EXPECT_EQ(EpcLines[1], "quandrel-qr: row 3: no column 2 for the field iban (the row has 1)");
    EXPECT_EQ(Decode(Dir.Path / "e/1.png"),
              std::vector<std::string>{"BCD\n002\n1\nSCT\n\nAna\nDE89370400440532013000\nEUR1.50"});
    // A field named by --field must be in the header.
    const Result Missing = RunQr({"geo", "--field", "lat=latitude", "--batch", (Dir.Path / "wifi.csv").string(),
                                  "--csv", "--header", "-o", (Dir.Path / "g/{n}.png").string()});
    EXPECT_EQ(Missing.Status, 2) << Missing.Err;
    EXPECT_NE(Missing.Err.find("no column named \"latitude\""), std::string::npos) << Missing.Err;
    EXPECT_EQ(RunQr({"geo", "--batch", "x", "-o", "{n}.png"}).Status, 2);  // fields need CSV
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
            // -m 2 is warned of once, before the rows.
            EXPECT_EQ(Lines(Err)[0].rfind("quandrel-qr: warning: the quiet zone is 2 modules wide", 0), 0u);
            EXPECT_EQ(Lines(Err)[5], "quandrel-qr: row 201: \"OUT/name0.png\" is already the file of row 1");
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

// Starts quandrel-qr with Args (without the program name), its standard error the terminal
// Slave of the pseudo-terminal whose other end is Master; gives its process id, or 0.
pid_t StartOnTerminal(const std::vector<std::string>& Args, int Master, int Slave) {
    std::vector<std::string> All = clirun::QrArgs(Args);
    std::vector<char*> Argv;
    for (auto& A : All) Argv.push_back(A.data());
    Argv.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, Slave, 2);
    posix_spawn_file_actions_addclose(&Actions, Master);
    pid_t Pid = 0;
    if (posix_spawn(&Pid, QUANDREL_QR, &Actions, nullptr, Argv.data(), environ) != 0)
        Pid = 0;
    posix_spawn_file_actions_destroy(&Actions);
    close(Slave);
    return Pid;
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
        std::vector<std::string> Args = {"--batch", (Dir.Path / "list.txt").string(), "-o", NewFolder()};
        Args.insert(Args.end(), Extra.begin(), Extra.end());
        const pid_t Pid = StartOnTerminal(Args, Master, Slave);
        EXPECT_NE(Pid, 0);
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
        // In a batch {n} is the row: a set's symbols need {s}, and {s} needs a set.
        {{"--batch", (Dir.Path / "list.csv").string(), "--symbols", "3", "-o", Out}, "by {s}"},
        {{"--batch", (Dir.Path / "list.csv").string(), "-o", Dir.Path.string() + "/{n}-{s}.png"}, "{s} needs --symbols"},
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

// ---- Signals to other threads, broken and slow standard errors, threads that cannot start ----

namespace more {

// The threads of Pid other than its main one.
std::vector<pid_t> OtherThreads(pid_t Pid) {
    std::vector<pid_t> Threads;
    std::error_code Error;
    for (const auto& Entry : fs::directory_iterator("/proc/" + std::to_string(Pid) + "/task", Error))
        if (const pid_t Tid = std::stoi(Entry.path().filename()); Tid != Pid)
            Threads.push_back(Tid);
    return Threads;
}

// Entries whose name starts with ".qr-": a writer's temporary files.
std::size_t Temporaries(const fs::path& Folder) {
    std::size_t Count = 0;
    std::error_code Error;
    for (const auto& Entry : fs::directory_iterator(Folder, Error))
        Count += Entry.path().filename().string().rfind(".qr-", 0) == 0;
    return Count;
}

// A batch run started with fork and exec, its standard error the write end of a pipe given to
// it (non-blocking when NonBlocking), the read end kept by the caller.
struct Piped {
    pid_t Pid = -1;
    int Err = -1;  // the read end of its standard error
};

Piped StartPiped(const std::vector<std::string>& Args, bool NonBlocking) {
    int Pipe[2];
    Piped P;
    if (pipe2(Pipe, O_CLOEXEC | (NonBlocking ? O_NONBLOCK : 0)) != 0)
        return P;
    std::vector<std::string> All = clirun::QrArgs(Args);
    std::vector<char*> Argv;
    for (auto& A : All) Argv.push_back(A.data());
    Argv.push_back(nullptr);
    P.Pid = fork();
    if (P.Pid == 0) {
        for (int Signal = 1; Signal < NSIG; ++Signal)
            signal(Signal, SIG_DFL);
        const int Null = open("/dev/null", O_RDWR);
        if (dup2(Null, 0) != 0 || dup2(Null, 1) != 1 || dup2(Pipe[1], 2) != 2)
            _exit(124);
        execv(QUANDREL_QR, Argv.data());
        _exit(126);
    }
    close(Pipe[1]);
    if (NonBlocking)
        fcntl(Pipe[0], F_SETFL, fcntl(Pipe[0], F_GETFL) & ~O_NONBLOCK);  // the read end is the test's own
    P.Err = Pipe[0];
    return P;
}

int Wait(pid_t Pid, bool& Exited) {
    int Status = 0;
    waitpid(Pid, &Status, 0);
    Exited = WIFEXITED(Status);
    return Exited ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
}

}  // namespace more

TEST(BatchProcess, StoppingSignalsSentToAnyThreadStopTheRunAndOthersAreHeld) {
    TempDir Dir("threads");
    const struct {
        int Signal;
        const char* Name;
        bool Stops;
    } Cases[] = {{SIGHUP, "SIGHUP", true}, {SIGQUIT, "SIGQUIT", true}, {SIGPIPE, "SIGPIPE", true},
                 {SIGINT, "SIGINT", true}, {SIGUSR1, "SIGUSR1", false}};
    for (const auto& C : Cases) {
        const fs::path Out = Dir.Path / C.Name;
        const int Rows = C.Stops ? 20000 : 3000;
        clirun::Process P = clirun::Start(
            QUANDREL_QR, clirun::QrArgs({"--batch", "-", "-j", "2", "-o", (Out / "{n}.png").string()}), "", true);
        ASSERT_EQ(P.Spawned, 0);
        std::thread Feeder([&] {
            for (int i = 1; i <= Rows; ++i)
                if (!clirun::Send(P, "row " + std::to_string(i) + "\n"))
                    break;
            close(std::exchange(P.Input, -1));
        });
        ASSERT_TRUE(WaitForFiles(Out, 100));
        const std::vector<pid_t> Threads = more::OtherThreads(P.Pid);
        ASSERT_FALSE(Threads.empty());
        for (const pid_t Thread : Threads)
            syscall(SYS_tgkill, P.Pid, Thread, C.Signal);
        Feeder.join();
        const Result R = clirun::Finish(P);
        const std::string Last = Lines(R.Err).empty() ? "" : Lines(R.Err).back();
        if (C.Stops) {
            EXPECT_EQ(R.Status, 128 + C.Signal) << C.Name << ": " << R.Err;
            EXPECT_EQ(Last.rfind(std::string("quandrel-qr: stopped by ") + C.Name + ": ", 0), 0u) << C.Name << ": " << R.Err;
        } else {
            EXPECT_EQ(R.Status, 0) << C.Name << ": " << R.Err;
            EXPECT_EQ(Last, "quandrel-qr: 3000 rows read, 3000 files written, 0 rows failed") << C.Name;
        }
        EXPECT_EQ(more::Temporaries(Out), 0u) << C.Name;
    }
}

TEST(BatchProcess, AStandardErrorWhoseReaderLeavesStopsTheRunAsSIGPIPEWould) {
    // quandrel-qr --batch ... 2>&1 | head -2: a warning for every row, read for two lines only.
    TempDir Dir("head");
    std::string List;
    for (int i = 0; i < 20000; ++i) List.append("a").append(std::to_string(i)).append("\n");
    clirun::WriteAll(Dir.Path / "list.txt", List);
    more::Piped P = more::StartPiped({"--batch", (Dir.Path / "list.txt").string(), "--encoding", "numeric", "-o",
                                      (Dir.Path / "out/{n}.png").string()},
                                     false);
    ASSERT_GT(P.Pid, 0);
    std::string Seen;
    char Byte;
    for (int LinesRead = 0; LinesRead < 2 && read(P.Err, &Byte, 1) == 1;)
        LinesRead += (Seen += Byte, Byte == '\n');
    close(P.Err);
    bool Exited = false;
    const int Status = more::Wait(P.Pid, Exited);
    EXPECT_TRUE(Exited) << "ended by a signal";
    EXPECT_EQ(Status, 128 + SIGPIPE);
    EXPECT_EQ(Seen.rfind("quandrel-qr: row 1: warning: 1 character left out", 0), 0u) << Seen;
    EXPECT_EQ(more::Temporaries(Dir.Path / "out"), 0u);
    EXPECT_LT(FilesIn(Dir.Path / "out"), 20000u);
}

TEST(BatchProcess, ANonBlockingStandardErrorLosesNoMessage) {
    // A row each that fails before any file is touched, so that the messages come fast.
    TempDir Dir("nonblocking");
    std::string List;
    const int Rows = 3001;
    for (int i = 0; i < Rows; ++i) List += "\xFF\n";
    clirun::WriteAll(Dir.Path / "list.txt", List);
    more::Piped P = more::StartPiped({"--batch", (Dir.Path / "list.txt").string(), "-o", (Dir.Path / "out/{n}.svg").string()},
                                     true);
    ASSERT_GT(P.Pid, 0);
    // Read late and slowly, so that the pipe is full when messages are written.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::string Seen;
    char Buffer[4096];
    for (ssize_t Got; (Got = read(P.Err, Buffer, sizeof Buffer)) > 0;) {
        Seen.append(Buffer, static_cast<std::size_t>(Got));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    close(P.Err);
    bool Exited = false;
    EXPECT_EQ(more::Wait(P.Pid, Exited), 1);
    const std::vector<std::string> Said = Lines(Seen);
    ASSERT_EQ(Said.size(), static_cast<std::size_t>(Rows) + 1);
    for (int i = 0; i < Rows; ++i)
        ASSERT_EQ(Said[static_cast<std::size_t>(i)],
                  "quandrel-qr: row " + std::to_string(i + 1) + ": the text is not valid UTF-8 (at byte offset 0)");
    EXPECT_EQ(Said.back(), "quandrel-qr: 3001 rows read, 0 files written, 3001 rows failed");
}

// A list of 200 URLs in a folder that uid 65534 may write.
fs::path ShortList(const TempDir& Dir) {
    fs::permissions(Dir.Path, fs::perms::all);
    std::string List;
    for (int i = 0; i < 200; ++i) List += "https://example.com/" + std::to_string(i) + "\n";
    clirun::WriteAll(Dir.Path / "list.txt", List);
    return Dir.Path / "list.txt";
}

TEST(BatchProcess, WorkersThatCannotStartAreReportedNotAnAbort) {
    // As uid 65534, allowed one process and no thread more: no worker can start. (LeakSanitizer
    // needs a thread of its own at the end, which it cannot have here either.)
    TempDir Dir("nothreads");
    const fs::path List = ShortList(Dir);
    const Result None = clirun::RunPrepared(
        QUANDREL_QR, clirun::QrArgs({"--batch", List.string(), "-j", "4", "-o", (Dir.Path / "none/{n}.png").string()}),
        [] {
            const rlimit One{1, 1};
            const char* Sanitizer = std::getenv("ASAN_OPTIONS");
            const std::string NoLeakCheck = std::string(Sanitizer ? Sanitizer : "") + ":detect_leaks=0";
            return setenv("ASAN_OPTIONS", NoLeakCheck.c_str(), 1) == 0 && setgroups(0, nullptr) == 0 &&
                   setgid(65534) == 0 && setrlimit(RLIMIT_NPROC, &One) == 0 && setuid(65534) == 0;
        });
    EXPECT_EQ(None.Status, 1) << None.Err;
    EXPECT_EQ(Lines(None.Err), (std::vector<std::string>{
                                   "quandrel-qr: cannot start the batch's threads: " + qrfiles::ErrorText(EAGAIN),
                                   "quandrel-qr: 0 rows read, 0 files written, 0 rows failed"}));
    EXPECT_FALSE(fs::exists(Dir.Path / "none"));
}

TEST(BatchProcess, TheRunGoesOnWithTheWorkersThatCouldStart) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space, so no limit on it can be set here";
#endif
    // An address space that holds some of 1024 workers' stacks but not all.
    TempDir Dir("somethreads");
    const fs::path List = ShortList(Dir);
    const Result Some = clirun::RunPrepared(
        QUANDREL_QR, clirun::QrArgs({"--batch", List.string(), "-j", "1024", "-o", (Dir.Path / "some/{n}.png").string()}),
        [] {
            // One malloc arena: each further one reserves 64 MiB, and a busy machine that runs many
            // workers at once would otherwise spend the space on arenas, failing rows, not threads.
            const rlimit Space{std::size_t{1} << 30, std::size_t{1} << 30};
            return setenv("MALLOC_ARENA_MAX", "1", 1) == 0 && setrlimit(RLIMIT_AS, &Space) == 0;
        });
    EXPECT_EQ(Some.Status, 0) << Some.Err;
    const std::vector<std::string> Said = Lines(Some.Err);
    ASSERT_EQ(Said.size(), 2u) << Some.Err;
    unsigned Started = 0, Asked = 0;
    EXPECT_EQ(std::sscanf(Said.front().c_str(), "quandrel-qr: warning: only %u of %u workers could start", &Started, &Asked), 2)
        << Some.Err;
    EXPECT_EQ(Asked, 1024u);
    EXPECT_GE(Started, 1u);
    EXPECT_LT(Started, 1024u);
    EXPECT_EQ(Said.back(), "quandrel-qr: 200 rows read, 200 files written, 0 rows failed");
}

TEST(BatchProcess, ACsvHeaderOfEmptyNamesIsBoundedInMemory) {
    // 30 MB of commas before the first line break: 30 million empty column names.
    TempDir Dir("header");
    std::size_t Sent = 0;
    const std::string Commas(1 << 20, ',');
    const Result R = RunQr({"--batch", "-", "--csv", "--header", "-o", (Dir.Path / "out/{n}.png").string()}, "",
                           [&]() -> std::string {
                               if (Sent == 30)
                                   return Sent++, "\n" + std::string("text\n");
                               return Sent++ > 30 ? std::string() : Commas;
                           });
    EXPECT_EQ(R.Status, 1) << R.Err;
    EXPECT_NE(R.Err.find("the header"), std::string::npos) << R.Err;
    EXPECT_LT(R.MaxRssKiB, 100 * 1024) << R.MaxRssKiB << " KiB";
}

TEST(BatchProcess, ANameColumnIsReadOnlyForATemplateThatUsesIt) {
    TempDir Dir("unnamed");
    clirun::WriteAll(Dir.Path / "list.csv", "a,b\nc\n");
    const Result R = RunQr({"--batch", (Dir.Path / "list.csv").string(), "--csv", "--name-column", "3", "-o",
                            (Dir.Path / "out/{n}.png").string()});
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(R.Err, "quandrel-qr: 2 rows read, 2 files written, 0 rows failed\n");
}

TEST(BatchProcess, AFileTheUserMayNotWriteIsNotReplaced) {
    // As uid 65534 in its own folder: its read-only file fails its row, the other rows are written.
    TempDir Dir("readonly");
    fs::permissions(Dir.Path, fs::perms::all);
    const fs::path Out = Dir.Path / "out";
    fs::create_directories(Out);
    clirun::WriteAll(Out / "1.png", "kept");
    ASSERT_EQ(chown(Out.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown((Out / "1.png").c_str(), 65534, 65534), 0);
    fs::permissions(Out / "1.png", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    clirun::WriteAll(Dir.Path / "list.txt", "one\ntwo\n");
    const Result R = clirun::RunPrepared(
        QUANDREL_QR, clirun::QrArgs({"--batch", (Dir.Path / "list.txt").string(), "-o", (Out / "{n}.png").string()}),
        [] { return setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0; });
    EXPECT_EQ(R.Status, 1) << R.Err;
    EXPECT_EQ(Lines(R.Err), (std::vector<std::string>{"quandrel-qr: row 1: Cannot create file \"" + (Out / "1.png").string() +
                                                          "\". Permission denied",
                                                      "quandrel-qr: 2 rows read, 1 file written, 1 row failed"}));
    EXPECT_EQ(ReadAll(Out / "1.png"), "kept");
    EXPECT_EQ(Decode(Out / "2.png"), std::vector<std::string>{"two"});
}

// A small exFAT file system, mounted through a loop device by exfat-fuse, or nothing with the
// reason it cannot be had here.
struct ExFat {
    fs::path Image, Mount;
    std::string Loop, Missing;
    explicit ExFat(const fs::path& Dir) : Image(Dir / "exfat.img"), Mount(Dir / "mnt") {
        fs::create_directories(Mount);
        if (std::system("command -v mkfs.exfat >/dev/null && command -v mount.exfat-fuse >/dev/null") != 0) {
            Missing = "mkfs.exfat or mount.exfat-fuse is not installed (exfatprogs, exfat-fuse)";
            return;
        }
        const std::string Quiet = " >/dev/null 2>&1";
        if (std::system(("truncate -s 16M '" + Image.string() + "' && mkfs.exfat '" + Image.string() + "'" + Quiet).c_str()) != 0) {
            Missing = "mkfs.exfat failed";
            return;
        }
        std::FILE* Losetup = popen(("losetup -f --show '" + Image.string() + "' 2>/dev/null").c_str(), "r");
        char Name[256] = {};
        if (Losetup && std::fgets(Name, sizeof Name, Losetup))
            Loop = std::string(Name).substr(0, std::strcspn(Name, "\n"));
        if (Losetup)
            pclose(Losetup);
        if (Loop.empty()) {
            Missing = "no loop device could be set up";
            return;
        }
        if (std::system(("mount.exfat-fuse '" + Loop + "' '" + Mount.string() + "'" + Quiet).c_str()) != 0)
            Missing = "mount.exfat-fuse could not mount the image (no FUSE here?)";
    }
    ~ExFat() {
        if (Missing.empty())
            std::system(("umount '" + Mount.string() + "'").c_str());
        if (!Loop.empty())
            std::system(("losetup -d '" + Loop + "'").c_str());
    }
};

TEST(BatchProcess, NamesACaseBlindFileSystemTakesForOneAreRepeatedNames) {
    TempDir Dir("exfat");
    const ExFat Stick(Dir.Path);
    if (!Stick.Missing.empty())
        GTEST_SKIP() << "no exFAT file system: " << Stick.Missing;
    clirun::WriteAll(Dir.Path / "list.csv",
                     "text,name\none,Bolt\ntwo,bolt\nthree,BOLT\nfour,\xC3\x89t\xC3\xA9\nfive,\xC3\xA9T\xC3\x89\n");
    const fs::path Out = Stick.Mount / "out";
    const Result R = RunQr({"--batch", (Dir.Path / "list.csv").string(), "--csv", "--header", "--name-column", "name",
                            "--quiet", "-o", (Out / "{name}.png").string()});
    EXPECT_EQ(R.Status, 1) << R.Err;
    EXPECT_EQ(Lines(R.Err), (std::vector<std::string>{
                                "quandrel-qr: row 2: \"" + (Out / "bolt.png").string() + "\" is already the file of row 1",
                                "quandrel-qr: row 3: \"" + (Out / "BOLT.png").string() + "\" is already the file of row 1",
                                "quandrel-qr: row 5: \"" + (Out / "\xC3\xA9T\xC3\x89.png").string() +
                                    "\" is already the file of row 4",
                                "quandrel-qr: 5 rows read, 2 files written, 3 rows failed"}));
    EXPECT_EQ(Decode(Out / "Bolt.png"), std::vector<std::string>{"one"});
    EXPECT_EQ(FilesIn(Out), 2u);
}

TEST(BatchProcess, TheProgressLineFitsTheTerminalAndFollowsItsWidth) {
    // A terminal 30 columns wide, then 60 (SIGWINCH): every drawing of the line fits the width in
    // force, so none wraps and leaves a stale row behind. The list is far longer than the test
    // needs, and once the widened line has been drawn the run is stopped with SIGINT, so that the
    // test does not depend on how fast the machine is.
    TempDir Dir("narrow");
    std::string List;
    for (int i = 0; i < 200000; ++i) List += "https://example.com/narrow/" + std::to_string(i) + "\n";
    clirun::WriteAll(Dir.Path / "list.txt", List);
    int Master = -1, Slave = -1;
    winsize Size{};
    Size.ws_row = 24;
    Size.ws_col = 30;
    ASSERT_EQ(openpty(&Master, &Slave, nullptr, nullptr, &Size), 0);
    const pid_t Pid = StartOnTerminal(
        {"--batch", (Dir.Path / "list.txt").string(), "-j", "1", "-o", (Dir.Path / "out/{n}.svg").string()}, Master, Slave);
    ASSERT_NE(Pid, 0);
    // What was drawn before the terminal was widened, and after.
    std::string Narrow, Wide;
    bool Stopped = false;
    char Buffer[4096];
    for (ssize_t Got; (Got = read(Master, Buffer, sizeof Buffer)) > 0;) {
        std::string& Into = Size.ws_col == 30 ? Narrow : Wide;
        Into.append(Buffer, static_cast<std::size_t>(Got));
        if (Size.ws_col == 30 && std::count(Narrow.begin(), Narrow.end(), '\r') >= 6) {
            Size.ws_col = 60;
            ASSERT_EQ(ioctl(Master, TIOCSWINSZ, &Size), 0);
            kill(Pid, SIGWINCH);
        } else if (!Stopped && std::count(Wide.begin(), Wide.end(), '\r') >= 3) {
            Stopped = true;
            kill(Pid, SIGINT);
        }
    }
    close(Master);
    int Status = 0;
    waitpid(Pid, &Status, 0);
    EXPECT_TRUE(WIFEXITED(Status) && (WEXITSTATUS(Status) == 130 || WEXITSTATUS(Status) == 0)) << Wide;
    // Each drawing: "\r", the text, "\x1b[K".
    const auto Drawings = [](const std::string& Shown) {
        std::vector<std::string> Texts;
        for (std::size_t At = 0; (At = Shown.find('\r', At)) != std::string::npos; ++At) {
            const std::size_t End = Shown.find("\x1b[K", At);
            if (End == std::string::npos)
                break;
            if (Shown.compare(At + 1, 12, "quandrel-qr:") != 0 && End > At + 1)
                Texts.push_back(Shown.substr(At + 1, End - At - 1));
        }
        return Texts;
    };
    const std::vector<std::string> Before = Drawings(Narrow), After = Drawings(Wide);
    ASSERT_GE(Before.size(), 3u) << Narrow;
    for (const std::string& Text : Before)
        EXPECT_LE(Text.size(), 29u) << Text;
    std::size_t Longest = 0;
    for (const std::string& Text : After) {
        EXPECT_LE(Text.size(), 59u) << Text;
        Longest = std::max(Longest, Text.size());
    }
    EXPECT_GT(Longest, 29u) << "the line did not grow with the terminal";
}
