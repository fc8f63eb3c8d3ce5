#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QStandardPaths>
#include <QString>

// The independent programs that some tests compare with at run time (R,
// PSPP, LibreOffice; scripts/install-oracles installs them). The
// environment's OSTREL_ORACLES says what their absence means:
//   "0"    every comparison with an oracle is skipped, present or not;
//   "1"    a missing oracle, or one that fails to run, fails the test (CI,
//          which has installed them);
//   unset  a missing oracle skips the comparison.
// A skipped comparison is reported as skipped, never as passed.
enum class DSOracleMode { Off, WhenInstalled, Required };

inline DSOracleMode ds_oracle_mode()
{
    const QByteArray mode = qgetenv("OSTREL_ORACLES");
    if (mode == "0")
        return DSOracleMode::Off;
    return mode == "1" ? DSOracleMode::Required : DSOracleMode::WhenInstalled;
}

// Declares `const QString path` with the oracle program's full path, or
// leaves the test (skipped or failed, as above) when it cannot be run.
#define DS_FIND_ORACLE(path, program)                                                                       \
    const QString path = QStandardPaths::findExecutable(QStringLiteral(program));                          \
    do {                                                                                                    \
        if (ds_oracle_mode() == DSOracleMode::Off)                                                          \
            GTEST_SKIP() << "OSTREL_ORACLES=0: the comparison with " program " is skipped";                 \
        if (path.isEmpty() && ds_oracle_mode() == DSOracleMode::Required)                                  \
            FAIL() << program " is not installed (scripts/install-oracles installs it)";                    \
        if (path.isEmpty())                                                                                 \
            GTEST_SKIP() << program " is not installed: the comparison with it is skipped";                 \
    } while (false)

// After an oracle ran and failed (a missing package of R, say): fails the
// test where the oracles are required, else skips it with the reason.
#define DS_ORACLE_FAILED(reason)                                                                            \
    do {                                                                                                    \
        if (ds_oracle_mode() == DSOracleMode::Required)                                                     \
            FAIL() << reason;                                                                               \
        GTEST_SKIP() << reason;                                                                             \
    } while (false)
