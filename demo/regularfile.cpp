#include "regularfile.h"

#include "safetext.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ArvelleDemo {

namespace {

// What errno says, in the words the messages use; QFileInfo would call a
// loop or a folder it may not enter a missing file.
QString Reason(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR: return QStringLiteral("no such file");
    case ELOOP: return QStringLiteral("too many levels of symbolic links");
    case EACCES:
    case EPERM: return QStringLiteral("permission denied");
    case EISDIR: return QStringLiteral("is a directory");
    default: return QStringLiteral("cannot be read (%1)").arg(QString::fromLocal8Bit(std::strerror(err)));
  }
}

}  // namespace

bool ReadRegularFile(const QString& path, QByteArray& bytes, QString& error) {
  auto fail = [&](const QString& what) {
    error = EscapeControls(path) + QStringLiteral(": ") + what;
    return false;
  };
  const QByteArray native = QFile::encodeName(path);
  // The system would read a name with a NUL in it only up to the NUL.
  if (native.isEmpty() || native.contains('\0')) return fail(QStringLiteral("no such file"));
  struct stat st;
  // A directory, fifo or device is refused before opening: reading a
  // device such as /dev/zero would never end.
  if (::stat(native.constData(), &st) != 0) return fail(Reason(errno));
  if (S_ISDIR(st.st_mode)) return fail(QStringLiteral("is a directory"));
  if (!S_ISREG(st.st_mode)) return fail(QStringLiteral("not a regular file"));
  // Should the path have become a fifo since, opening does not wait for a
  // writer and the check after opening refuses it.
  const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return fail(Reason(errno));
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail(QStringLiteral("not a regular file"));
  }
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return fail(QStringLiteral("cannot be read (%1)").arg(file.errorString()));
  }
  bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return fail(QStringLiteral("cannot be read (%1)").arg(file.errorString()));
  return true;
}

}  // namespace ArvelleDemo
