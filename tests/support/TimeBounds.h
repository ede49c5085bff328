#pragma once
// The few time bounds the tests keep. A test asserts what happened (connections, commands, queries, the
// code a wait ended with) and polls with a deadline instead of sleeping; it bounds time only where time
// is its point. Such a bound lies between the right time and the faulty one with room for a loaded
// machine and the sanitizers, which only ever add to the right time. Work is measured in processor time
// (ProcessMeasures.h), which other programs on a busy machine do not inflate; waits in wall-clock time.
#include <QtGlobal>
#include <gtest/gtest.h>

namespace testenv {

// A wait that must end by its own time-out: it lasted at least the time-out (less the slack of coarse
// timers), so nothing else ended it early; and less than twice the time-out, so it was neither waited
// out twice nor drawn out by what came in meanwhile. A loaded machine adds less than one time-out to it
// when the time-out is 2 s or more.
inline ::testing::AssertionResult EndedByItsTimeOut(qint64 elapsedMs, qint64 timeoutMs) {
    if (elapsedMs < timeoutMs * 9 / 10)
        return ::testing::AssertionFailure()
               << "ended after " << elapsedMs << " ms, before its time-out of " << timeoutMs << " ms";
    if (elapsedMs >= 2 * timeoutMs)
        return ::testing::AssertionFailure()
               << "lasted " << elapsedMs << " ms, twice its time-out of " << timeoutMs << " ms or more";
    return ::testing::AssertionSuccess();
}

// A wait that must end by what it waits for (an answer, a refusal, a cancel), not by its time-out: it
// ended within a third of the time-out. Give such a wait a time-out of 30 s or more, so that a third
// leaves ample room for a loaded machine while a wait for the time-out is still caught.
inline ::testing::AssertionResult EndedLongBeforeItsTimeOut(qint64 elapsedMs, qint64 timeoutMs) {
    if (elapsedMs * 3 >= timeoutMs)
        return ::testing::AssertionFailure()
               << "lasted " << elapsedMs << " ms: it waited for its time-out of " << timeoutMs
               << " ms instead of the event";
    return ::testing::AssertionSuccess();
}

} // namespace testenv
