// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace ostrand {

// Matches a file name against a wildcard pattern as Windows listings do: "*" stands for any run of
// characters (none included), "?" for exactly one character, letters match in either case, and "*.*"
// matches every name, with or without a dot.
bool WildcardMatch(const QString& name, const QString& pattern);

} // namespace ostrand
