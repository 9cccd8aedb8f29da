#pragma once
// Checks of built payloads: the text against what the format's rules give, or the refusal
// against its reason; and every accepted payload through an independent reader: the project's
// encoder makes the symbol as the payload's limits require, zbar decodes it, and the bytes
// must come back exactly.

#include <gtest/gtest.h>

#include <string>

#include "payload/result.h"

namespace payloadtest {

// The symbol of Payload (byte mode, UTF-8 without a byte-order mark, at its required level or
// L, within its largest version) decodes to exactly its text.
::testing::AssertionResult ReadsBack(const qrpayload::TPayload& Payload);

// A row of a table of cases: either the payload text expected, or the reason of the refusal.
struct TOutcome {
    std::string Text;
    std::string Reason = {};  // empty: the payload is built
};

// Built against Expected; an accepted payload must also read back.
void ExpectOutcome(const qrpayload::TResult<qrpayload::TPayload>& Built, const TOutcome& Expected);

// A table of cases for a payload builder.
template <typename TFields>
struct TCase {
    const char* Name;
    TFields In;
    TOutcome Out;
};

template <typename TFields, std::size_t N, typename TBuilder>
void ExpectEach(const TCase<TFields> (&Cases)[N], TBuilder Build) {
    for (const TCase<TFields>& C : Cases) {
        SCOPED_TRACE(C.Name);
        ExpectOutcome(Build(C.In), C.Out);
    }
}

}  // namespace payloadtest
