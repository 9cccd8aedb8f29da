#include "payloadtest.h"

#include "grid/qrcodegrid.h"
#include "text/textconv.h"
#include "zbardecode.h"

namespace payloadtest {

::testing::AssertionResult ReadsBack(const qrpayload::TPayload& Payload) {
    const auto Text = qrtext::DecodeUtf8(Payload.Text).Text;
    if (!Text) return ::testing::AssertionFailure() << "the payload is not UTF-8";
    static const qr::TErrorCorrectionLevel Levels[] = {qr::LevelL(), qr::LevelM(), qr::LevelQ(), qr::LevelH()};
    const auto Level = Payload.Limits.RequiredLevel.value_or(qrpayload::TLevel::L);
    const qr::TQRCodeGrid Grid(*Text, qr::qrUTF8BOM, 0, Levels[static_cast<int>(Level)]);
    if (Grid.Rows() == 0) return ::testing::AssertionFailure() << "no version holds the payload";
    const int Version = (Grid.Rows() - 17) / 4;
    if (Version > Payload.Limits.MaxVersion)
        return ::testing::AssertionFailure() << "version " << Version << " is above " << Payload.Limits.MaxVersion;
    const auto Found = zbartest::DecodeModules(Grid.Rows(), [&](int r, int c) { return Grid.IsBlack(r, c); });
    if (Found.size() != 1) return ::testing::AssertionFailure() << "zbar found " << Found.size() << " symbols";
    if (Found[0] != Payload.Text)
        return ::testing::AssertionFailure() << "zbar read\n" << Found[0] << "\ninstead of\n" << Payload.Text;
    return ::testing::AssertionSuccess();
}

void ExpectOutcome(const qrpayload::TResult<qrpayload::TPayload>& Built, const TOutcome& Expected) {
    if (!Expected.Reason.empty()) {
        ASSERT_FALSE(Built) << "built " << Built->Text;
        EXPECT_EQ(Built.Reason(), Expected.Reason);
        return;
    }
    ASSERT_TRUE(Built) << Built.Reason();
    EXPECT_EQ(Built->Text, Expected.Text);
    EXPECT_TRUE(ReadsBack(*Built));
}

}  // namespace payloadtest
