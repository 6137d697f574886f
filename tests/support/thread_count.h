// How many threads this process has now, to see that a pool made none or left none.
#pragma once

namespace bv::test {

// -1 when the system cannot tell.
int ThreadsOfThisProcess();

}  // namespace bv::test
