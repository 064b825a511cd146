// SPDX-License-Identifier: MIT
#include "core/convert/save/OutputTarget.h"

#include <QFileInfo>

namespace ostrand {

Result<OutputTarget> lookAtTarget(const QString& path)
{
    const QFileInfo info(path);
    return OutputTarget{path, info.exists(), info.isDir(), std::nullopt};
}

} // namespace ostrand
