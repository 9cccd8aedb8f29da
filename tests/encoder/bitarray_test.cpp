// The bit array and the byte matrix: storage layout, appending, packing, and cell values.

#include <gtest/gtest.h>

#include <string>

#include "encoder/bitarray.h"
#include "encoder/bytematrix.h"
#include "testing.h"

using namespace qr;
using qrtest::BitString;

namespace {

TBitArray FromString(const std::string& Bits) {
    TBitArray A;
    for (char c : Bits) A.AppendBit(c == '1');
    return A;
}

// ---- TBitArray ----

TEST(BitArray, NewArrayIsEmptyWithOneWordAndGrowsAWordAtATime) {
    TBitArray A;
    EXPECT_EQ(A.GetSize(), 0);
    EXPECT_EQ(A.GetSizeInBytes(), 0);
    EXPECT_EQ(A.WordCount(), 1);

    A.AppendBits(-1, 32);
    EXPECT_EQ(A.GetSize(), 32);
    EXPECT_EQ(A.WordCount(), 1);
    EXPECT_EQ(A.Word(0), 0xFFFFFFFFu);

    A.AppendBit(true);
    EXPECT_EQ(A.GetSize(), 33);
    EXPECT_EQ(A.WordCount(), 2);
    EXPECT_EQ(A.Word(1), 1u);  // the 33rd bit is the lowest bit of word 1
}

TEST(BitArray, SizeInBytesRoundsUp) {
    const std::pair<int, int> Cases[] = {{0, 0}, {1, 1}, {7, 1}, {8, 1}, {9, 2}, {16, 2}, {17, 3}};
    for (const auto& [Bits, Bytes] : Cases) {
        TBitArray A(Bits);
        EXPECT_EQ(A.GetSizeInBytes(), Bytes) << Bits << " bits";
    }
}

TEST(BitArray, SizedArrayIsAllZeroAndAppendsBehindItsBits) {
    TBitArray A(40);
    EXPECT_EQ(A.GetSize(), 40);
    EXPECT_EQ(A.WordCount(), 2);
    EXPECT_EQ(BitString(A), std::string(40, '0'));

    A.AppendBit(true);
    EXPECT_EQ(A.GetSize(), 41);
    EXPECT_TRUE(A.Get(40));
    EXPECT_EQ(A.Word(1), 1u << 8);

    TBitArray Zero(0);
    EXPECT_EQ(Zero.WordCount(), 0);  // no word for a size of 0
    Zero.AppendBits(5, 3);            // and still grows from there
    EXPECT_EQ(BitString(Zero), "101");
    EXPECT_EQ(Zero.WordCount(), 1);
}

TEST(BitArray, SetBitSetsOnlyThatBitAndKeepsTheSize) {
    TBitArray A(70);
    A.SetBit(0);
    A.SetBit(31);
    A.SetBit(32);
    A.SetBit(69);
    EXPECT_EQ(A.GetSize(), 70);
    for (int i = 0; i < 70; ++i) EXPECT_EQ(A.Get(i), i == 0 || i == 31 || i == 32 || i == 69) << i;
    EXPECT_EQ(A.Word(0), 0x80000001u);
}

struct AppendCase {
    std::int32_t Value;
    int NumBits;
    const char* Expected;
};

class AppendBitsCase : public ::testing::TestWithParam<AppendCase> {};

TEST_P(AppendBitsCase, AppendsTheLowBitsMostSignificantFirst) {
    const AppendCase& C = GetParam();
    TBitArray A;
    A.AppendBit(true);  // a bit in front, so the field must land behind it
    A.AppendBits(C.Value, C.NumBits);
    EXPECT_EQ(BitString(A), std::string("1") + C.Expected);
}

INSTANTIATE_TEST_SUITE_P(Fields, AppendBitsCase,
                         ::testing::Values(AppendCase{5, 4, "0101"},             //
                                           AppendCase{-1, 3, "111"},             // two's complement pattern
                                           AppendCase{21522, 15, "101010000010010"},
                                           AppendCase{0xFF, 4, "1111"},          // higher bits ignored
                                           AppendCase{7, 0, ""},                 // nothing appended
                                           AppendCase{static_cast<std::int32_t>(0x80000001u), 32,
                                                      "10000000000000000000000000000001"}));

TEST(BitArray, AppendBitsAcrossAWordBoundary) {
    TBitArray A(30);
    A.AppendBits(0b10110, 5);  // bits 30 .. 34
    EXPECT_EQ(A.GetSize(), 35);
    EXPECT_EQ(A.WordCount(), 2);
    EXPECT_EQ(BitString(A).substr(30), "10110");
    EXPECT_EQ(A.Word(0), 1u << 30);          // bit 30 = 1, bit 31 = 0
    EXPECT_EQ(A.Word(1), 0b011u);            // bits 32, 33 = 1, 1; bit 34 = 0
}

TEST(BitArray, StorageIsLeastSignificantBitFirstAndToBytesPacksMostSignificantFirst) {
    const TBitArray A = FromString("101100001");
    EXPECT_EQ(A.Word(0), 269u);  // bits 0, 2, 3 and 8

    TByteArray Bytes(3, 0xAA);
    A.ToBytes(0, Bytes, 0, 1);
    EXPECT_EQ(Bytes[0], 176);
    A.ToBytes(1, Bytes, 2, 1);
    EXPECT_EQ(Bytes[2], 97);
    EXPECT_EQ(Bytes[1], 0xAA);  // only the bytes asked for are written

    A.ToBytes(0, Bytes, 1, 0);  // no bytes: nothing written
    EXPECT_EQ(Bytes[1], 0xAA);
}

TEST(BitArray, ToBytesAcrossWordsMatchesTheAppendedBytes) {
    TBitArray A;
    const int Values[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x0F};
    for (int v : Values) A.AppendBits(v, 8);
    TByteArray Bytes(9);
    A.ToBytes(0, Bytes, 0, 9);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(Bytes[i], Values[i]) << i;
    TByteArray Shifted(1);
    A.ToBytes(28, Shifted, 0, 1);  // half of byte 3 and half of byte 4: 0x8 then 0x9
    EXPECT_EQ(Shifted[0], 0x89);
}

TEST(BitArray, AppendBitArrayAppendsInOrderAndEmptyChangesNothing) {
    TBitArray A = FromString("110");
    const TBitArray B = FromString("0111010101010101010101010101010101");  // 34 bits, two words
    A.AppendBitArray(B);
    EXPECT_EQ(BitString(A), "110" + BitString(B));

    const TBitArray Before = A;
    A.AppendBitArray(TBitArray());
    EXPECT_EQ(BitString(A), BitString(Before));
    EXPECT_EQ(A.WordCount(), Before.WordCount());
}

TEST(BitArray, AppendBitArrayOfItself) {
    TBitArray A = FromString("10011");
    A.AppendBitArray(A);  // the count is taken once, before the first bit
    EXPECT_EQ(BitString(A), "1001110011");
}

TEST(BitArray, XorCombinesEqualStoresAndKeepsTheSize) {
    TBitArray A = FromString("1100");
    TBitArray B = FromString("1010110");
    A.XorOperation(B);
    EXPECT_EQ(A.GetSize(), 4);
    EXPECT_EQ(BitString(A), "0110");
    EXPECT_EQ(A.Word(0), 0b0110110u);  // the other array's bits beyond Size land in the store too
}

TEST(BitArray, XorWithADifferentStoreLengthIsANoOp) {
    TBitArray A = FromString("1100");
    TBitArray B(40);
    B.SetBit(0);
    A.XorOperation(B);
    EXPECT_EQ(BitString(A), "1100");
    EXPECT_EQ(A.Word(0), 0b0011u);

    B.XorOperation(A);  // the longer store with the shorter one: no-op as well
    EXPECT_EQ(B.Word(0), 1u);
    EXPECT_EQ(B.Word(1), 0u);
    EXPECT_EQ(B.GetSize(), 40);
}

// ---- TByteMatrix ----

TEST(ByteMatrix, NewMatrixIsAllLightAndHashesToA) {
    const TByteMatrix M(21, 21);
    EXPECT_EQ(M.Width(), 21);
    EXPECT_EQ(M.Height(), 21);
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 21; ++x) ASSERT_EQ(M.Get(x, y), 0);
    EXPECT_EQ(M.Hash(), std::string(21, 'A'));
}

TEST(ByteMatrix, ClearedWithTheEmptyMarkerReadsMinusOneAndHashesToZ) {
    TByteMatrix M(21, 21);
    M.Clear(255);
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 21; ++x) {
            ASSERT_EQ(M.Get(x, y), -1);
            ASSERT_EQ(M.GetArray()[y][x], 255);
        }
    EXPECT_EQ(M.Hash(), std::string(21, 'Z'));  // 21 * 255 = 5355, 5355 mod 26 = 25
}

TEST(ByteMatrix, SetIntegerKeepsTheLowByte) {
    TByteMatrix M(3, 1);
    M.SetInteger(0, 0, -1);
    M.SetInteger(1, 0, 256);
    M.SetInteger(2, 0, 2);
    EXPECT_EQ(M.Get(0, 0), -1);
    EXPECT_EQ(M.Get(1, 0), 0);
    EXPECT_EQ(M.Get(2, 0), 2);
    M.SetBoolean(1, 0, true);
    EXPECT_EQ(M.Get(1, 0), 1);
    M.SetBoolean(1, 0, false);
    EXPECT_EQ(M.Get(1, 0), 0);
}

TEST(ByteMatrix, CellsAreAddressedColumnThenRow) {
    TByteMatrix M(3, 2);  // 3 columns, 2 rows
    M.SetInteger(2, 1, 7);
    EXPECT_EQ(M.GetArray().size(), 2u);
    EXPECT_EQ(M.GetArray()[0].size(), 3u);
    EXPECT_EQ(M.GetArray()[1][2], 7);
    EXPECT_EQ(M.Get(2, 1), 7);
    EXPECT_EQ(M.Get(1, 1), 0);
    M.GetArray()[0][1] = 1;  // the store is shared, not a copy
    EXPECT_EQ(M.Get(1, 0), 1);
}

TEST(ByteMatrix, HashHasOneLetterPerRowFromTheStoredBytes) {
    TByteMatrix M(2, 2);
    M.SetInteger(0, 0, 1);
    M.SetInteger(1, 0, 1);
    M.SetInteger(0, 1, -1);
    M.SetInteger(1, 1, 0);
    EXPECT_EQ(M.Hash(), "CV");  // sums 2 and 255
    EXPECT_EQ(TByteMatrix(5, 0).Hash(), "");
}

TEST(ByteMatrix, AssignMakesAnIndependentCopy) {
    TByteMatrix A(3, 2);
    A.SetInteger(1, 1, 1);
    TByteMatrix B(7, 7);
    B.Assign(A);
    EXPECT_EQ(B.Width(), 3);
    EXPECT_EQ(B.Height(), 2);
    EXPECT_EQ(B.Get(1, 1), 1);

    B.SetInteger(0, 0, -1);
    A.SetInteger(2, 0, 1);
    EXPECT_EQ(A.Get(0, 0), 0);
    EXPECT_EQ(B.Get(2, 0), 0);

    B.Clear(1);  // cell operations leave the dimensions alone
    EXPECT_EQ(B.Width(), 3);
    EXPECT_EQ(B.Height(), 2);
}

}  // namespace
