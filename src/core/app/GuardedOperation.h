// SPDX-License-Identifier: MIT
#pragma once

#include <exception>
#include <type_traits>
#include <utility>

#include <QString>

#include "core/app/ErrorReport.h"
#include "core/common/Result.h"

namespace ostrand {

// Runs the numbered steps of one guarded operation under the error-report policy: a failing step is
// reported with its line number and the operation carries on with the next step; a failing test counts
// as passed. A step may end the operation, after which every further step is skipped.
//
// A step's body returns void, Status or Result<T>; a test's condition returns bool or Result<bool>.
// An exception escaping a body is reported like a failed Status, so none crosses an event handler.
class GuardedOperation
{
public:
    GuardedOperation(ErrorReporter& reporter, QString tag) : m_reporter(reporter), m_tag(std::move(tag)) {}

    // Runs one step; true when it ran and succeeded.
    template<class Body>
    bool step(int line, Body&& body)
    {
        if (m_ended)
            return false;
        try {
            using R = std::invoke_result_t<Body>;
            if constexpr (std::is_void_v<R>) {
                std::forward<Body>(body)();
                return true;
            } else {
                const auto outcome = std::forward<Body>(body)();
                if (outcome.ok())
                    return true;
                report(line, outcome.error());
                return false;
            }
        } catch (const std::exception& e) {
            report(line, QString::fromLocal8Bit(e.what()));
        } catch (...) {
            report(line, QStringLiteral("Unexpected failure"));
        }
        return false;
    }

    // Evaluates one test; a test that fails to evaluate is reported and counts as passed.
    template<class Condition>
    bool test(int line, Condition&& condition)
    {
        if (m_ended)
            return false;
        try {
            using R = std::invoke_result_t<Condition>;
            if constexpr (std::is_same_v<R, bool>) {
                return std::forward<Condition>(condition)();
            } else {
                const auto outcome = std::forward<Condition>(condition)();
                if (outcome.ok())
                    return outcome.value();
                report(line, outcome.error());
                return true;
            }
        } catch (const std::exception& e) {
            report(line, QString::fromLocal8Bit(e.what()));
        } catch (...) {
            report(line, QStringLiteral("Unexpected failure"));
        }
        return true;
    }

    // Reports a failure found outside a step body, for the given line.
    void fail(int line, const QString& description) { report(line, description); }

    // Ends the operation: every later step and test is skipped.
    void end() { m_ended = true; }
    bool ended() const { return m_ended; }

    int failures() const { return m_failures; }
    const QString& tag() const { return m_tag; }

private:
    void report(int line, const QString& description)
    {
        ++m_failures;
        m_reporter.ReportError(description, m_tag, line);
    }

    ErrorReporter& m_reporter;
    QString m_tag;
    bool m_ended = false;
    int m_failures = 0;
};

} // namespace ostrand
