// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include "core/common/Result.h"

namespace ostrand {

// The user's own copy of the samples: the data folder of the program ("Samples" in
// QStandardPaths::AppDataLocation). No trailing separator; "" when that folder has no name that reaches it (its
// name came from bytes that are not valid UTF-8).
QString UserSampleFolder();

// The folder whose samples go into the list. A writable samples folder is used where it is, so documents can
// be written beside the samples. Otherwise (an install in a system folder) the samples are copied into
// `userCopy` and that folder is used: a sample missing there is copied, while a copy already there is kept as
// it is, so a copy the user has changed is never overwritten. A missing samples folder is used as it is (it
// has nothing to list), and so are the samples where there is no `userCopy` to make. Fails with the platform's text when a copy cannot be made.
Result<QString> UsableSampleFolder(const QString& samples, bool samplesWritable, const QString& userCopy);

} // namespace ostrand
