// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

#include <QtGlobal>

namespace ostrand {

// The calls that make written bytes durable. Where the system has no such calls (the save is then one that
// syncs itself), they do nothing and succeed.

// Sends a file's data to the disk (the data and what is needed to read it back, not every attribute); 0, or the
// error that kept it from getting there.
int syncData(int fd);

// Sends the bytes of every file to the disk. One sync of each file system they lie on writes them all in one go;
// when it succeeds and the system tells failed write-backs through it, they are all durable. Otherwise each
// file's own sync finds out which of them failed. One result for each file: 0, or the error. `devices`, where
// given, tells the device each file lies on (-1 where it is not known), which saves a look at each.
std::vector<int> syncAll(const std::vector<int>& files, const std::vector<qint64>& devices = {});

// Starts sending the bytes [offset, offset + size) of a file to the disk without waiting; errors are left to
// the file's final sync, which reports them.
void startWriteBack(int fd, qint64 offset, qint64 size);
// Waits until the bytes [offset, offset + size) of a file are on their way to the disk, or there.
void waitForWriteBack(int fd, qint64 offset, qint64 size);

} // namespace ostrand
