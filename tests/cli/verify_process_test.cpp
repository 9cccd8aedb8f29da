// --verify and the private libraries as a process: each run loads cairo and zbar only when it
// needs them; a symbol that does not read back writes nothing, alone or as a batch row.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "clirun.h"

namespace {

namespace fs = std::filesystem;
using clirun::Result;
using clirun::RunQr;

// The shared libraries a run loads, as the dynamic loader reports them.
std::string LoadedLibraries(const std::vector<std::string>& Args) {
    std::vector<std::string> All = {"env", "LD_DEBUG=files", QUANDREL_QR};
    All.insert(All.end(), Args.begin(), Args.end());
    return clirun::Run("env", All).Err;
}

TEST(VerifyProcess, CairoAndZbarAreLoadedOnlyByTheRunsThatUseThem) {
    const clirun::TempDir Dir("verify-libs");
    const std::string Png = LoadedLibraries({"-o", (Dir.Path / "x.png").string(), "x"});
    EXPECT_NE(Png.find("libc.so"), std::string::npos) << Png;
    EXPECT_EQ(Png.find("cairo"), std::string::npos);
    EXPECT_EQ(Png.find("zbar"), std::string::npos);
    const std::string Pdf = LoadedLibraries({"-o", (Dir.Path / "x.pdf").string(), "x"});
    EXPECT_NE(Pdf.find("libcairo"), std::string::npos);
    EXPECT_EQ(Pdf.find("zbar"), std::string::npos);
    const std::string Verified = LoadedLibraries({"--verify", "-o", (Dir.Path / "y.png").string(), "x"});
    EXPECT_NE(Verified.find("libzbar"), std::string::npos);
    EXPECT_EQ(Verified.find("cairo"), std::string::npos);
}

TEST(VerifyProcess, EveryTypeAtEveryLevelPassesAndAFailureWritesNothing) {
    const clirun::TempDir Dir("verify-types");
    for (const char* Type : {"png", "svg", "eps", "pdf", "jpeg", "utf8", "ascii", "matrix"})
        for (const char* Level : {"L", "M", "Q", "H"}) {
            const fs::path File = Dir.Path / (std::string("x.") + Type);
            const Result R = RunQr({"--verify", "-t", Type, "-l", Level, "-o", File.string(), "Olá, 123"});
            EXPECT_EQ(R.Status, 0) << Type << " " << Level << " " << R.Err;
            EXPECT_TRUE(fs::exists(File)) << Type;
        }
    // A reader that guesses the character set is shown reading the UTF-8 wrongly.
    const Result Guess = RunQr({"--verify", "-t", "utf8", "ação"});
    EXPECT_EQ(Guess.Status, 0);
    EXPECT_NE(Guess.Err.find("warning: a reader that guesses the character set (zbar) shows"), std::string::npos)
        << Guess.Err;
    // zbar guesses Latin-1 bytes wrongly too (as an East Asian character set), which it says.
    const Result Latin1 = RunQr({"--verify", "-t", "utf8", "--encoding", "latin1", "ação"});
    EXPECT_EQ(Latin1.Err.rfind("quandrel-qr: warning: a reader that guesses the character set (zbar) shows", 0), 0u)
        << Latin1.Err;
    EXPECT_EQ(RunQr({"--verify", "-t", "utf8", "abc"}).Err, "");

    // Inverted colours, which zbar does not read: nothing written, status 1, the reason.
    const fs::path Faint = Dir.Path / "inverted.png";
    const Result R = RunQr({"--verify", "--foreground", "ffffff", "--background", "000000", "-o", Faint.string(), "x"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_NE(R.Err.find("--verify: zbar finds no symbol in the picture; nothing written"), std::string::npos) << R.Err;
    EXPECT_FALSE(fs::exists(Faint));
    // A payload is held to its own bytes too.
    EXPECT_EQ(RunQr({"wifi", "--ssid", "Casa", "--password", "segredo123", "--verify", "-t", "matrix"}).Status, 0);
}

TEST(VerifyProcess, EachBatchRowIsVerifiedOnItsOwn) {
    const clirun::TempDir Dir("verify-batch");
    // At one pixel a module zbar reads a small symbol, but not one of version 40.
    clirun::WriteAll(Dir.Path / "list.txt", "small too\n" + std::string(2900, 'x') + "\nsmall too\n");
    const Result R = RunQr({"--verify", "-s", "1", "--batch", (Dir.Path / "list.txt").string(), "-o",
                            (Dir.Path / "out/{n}.png").string()});
    EXPECT_EQ(R.Status, 1) << R.Err;
    EXPECT_NE(R.Err.find("row 2: --verify: zbar finds no symbol in the picture; nothing written"), std::string::npos)
        << R.Err;
    EXPECT_NE(R.Err.find("3 rows read, 2 files written, 1 row failed"), std::string::npos) << R.Err;
    EXPECT_TRUE(fs::exists(Dir.Path / "out/1.png"));
    EXPECT_FALSE(fs::exists(Dir.Path / "out/2.png"));
    EXPECT_TRUE(fs::exists(Dir.Path / "out/3.png"));
}

}  // namespace
