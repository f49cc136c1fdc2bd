#include "payments/PostingRun.h"

namespace corvane {

PostingOutcome PostingRun::run(const std::vector<StagedRow>&, const PostingChoices&) {
    return PostingOutcome::Stopped;
}

}  // namespace corvane
