// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace ostrand {

// The product's full name, with its version.
QString productName();

// The caption of every message box that names no title of its own: the product name shortened by words.
// The last word is always cut, and the cut is repeated while the rest is longer than 40 characters.
// A name without a blank stays whole.
QString ApplicationTitle(const QString& productName);

} // namespace ostrand
