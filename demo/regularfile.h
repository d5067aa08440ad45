// Reading a whole regular file, with a message that names what is in the
// way when it cannot be read.
#pragma once

#include <QByteArray>
#include <QString>

namespace ArvelleDemo {

// The file's bytes into bytes. False with error set to "PATH: REASON" (the
// path with its control characters escaped) for a missing file, a symbolic
// link loop, a denied permission, a directory or anything else that is not
// a regular file, or a read that fails.
bool ReadRegularFile(const QString& path, QByteArray& bytes, QString& error);

}  // namespace ArvelleDemo
