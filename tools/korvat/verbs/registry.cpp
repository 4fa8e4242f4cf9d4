// The verbs of the korvat program, in the order `korvat --help` lists them. Adding a verb: see
// verb.h.
#include "tools/korvat/verbs/verb.h"

#define KORVAT_VERBS(KORVAT_VERB) \
    KORVAT_VERB(kPost)            \
    KORVAT_VERB(kPreview)         \
    KORVAT_VERB(kEstimate)        \
    KORVAT_VERB(kMachines)        \
    KORVAT_VERB(kDump)            \
    KORVAT_VERB(kApproach)        \
    KORVAT_VERB(kDigitize)        \
    KORVAT_VERB(kSend)            \
    KORVAT_VERB(kSim)

namespace korvat::tool {

#define KORVAT_DECLARE(name) extern const Verb name;
KORVAT_VERBS(KORVAT_DECLARE)
#define KORVAT_LIST(name) &name,
const Verb* const kVerbs[] = {KORVAT_VERBS(KORVAT_LIST) nullptr};

}  // namespace korvat::tool
