#include "render/save_file.h"

#include "maze/progress.h"
#include "render/atomic_file.h"

#include <QByteArray>
#include <QFile>

#include <new>
#include <stdexcept>

namespace {

// Writers such as QPdfWriter hand over small pieces; the file gets them in large blocks.
constexpr qsizetype BlockBytes = qsizetype{1} << 20;

/// A write-only device in front of an AtomicFile. The first failure is kept and every
/// later write refused.
class AtomicFileDevice : public QIODevice {
public:
    AtomicFileDevice(AtomicFile &file, Progress *progress) : file_(file), progress_(progress)
    {
        open(QIODevice::WriteOnly);
    }
    bool isSequential() const override { return true; }

    /// Hands the gathered bytes to the file; false once anything failed.
    bool flushAll()
    {
        if (!failure_.isEmpty())
            return false;
        try {
            file_.write(buffer_.constData(), std::size_t(buffer_.size()));
        } catch (const std::runtime_error &e) {
            failure_ = QString::fromLocal8Bit(e.what());
            setErrorString(failure_);
        }
        buffer_.clear();
        return failure_.isEmpty();
    }
    const QString &failure() const { return failure_; }
    bool stopped() const { return stopped_; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        if (!failure_.isEmpty())
            return -1;
        // Once stopped, the rest is swallowed rather than refused: Qt's PNG writer leaks its
        // row table when a write fails, and nothing more reaches the file either way.
        if (stopped_)
            return size;
        if (progress_) {
            progress_->processEvents();
            if (progress_->stopRequested()) {
                stopped_ = true;
                buffer_.clear();
                return size;
            }
        }
        buffer_.append(data, size);
        if (buffer_.size() >= BlockBytes && !flushAll())
            return -1;
        return size;
    }

private:
    AtomicFile &file_;
    Progress *progress_;
    QByteArray buffer_;
    QString failure_;
    bool stopped_ = false;
};

} // namespace

std::string file_system_name(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

bool write_whole_file(AtomicFile &file, QString *error, const FileWriter &write, bool *dropped, Progress *progress)
{
    const QString path = QFile::decodeName(QByteArray::fromStdString(file.path()));
    auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    try {
        AtomicFileDevice device(file, progress);
        QString cause;
        const SaveStep step = write(device, cause);
        if (step == SaveStep::Dropped) {
            if (dropped)
                *dropped = true;
            return true;
        }
        if (device.stopped())
            return fail(QStringLiteral("cannot write %1: stopped").arg(path));
        if (step == SaveStep::Written)
            device.flushAll();
        if (!device.failure().isEmpty())
            return fail(device.failure());
        if (step == SaveStep::Failed)
            return fail(QStringLiteral("cannot write %1: %2").arg(path, cause));
        return true;
    } catch (const std::bad_alloc &) {
        return fail(QStringLiteral("cannot write %1: not enough memory").arg(path));
    }
}

bool save_to_file(const QString &path, QString *error, const std::function<bool(AtomicFile &, bool &dropped)> &write)
{
    try {
        AtomicFile file(file_system_name(path));
        bool dropped = false;
        if (!write(file, dropped))
            return false;
        if (!dropped)
            file.commit();
        return true;
    } catch (const std::runtime_error &e) {
        if (error)
            *error = QString::fromLocal8Bit(e.what());
        return false;
    }
}

bool save_whole_file(const QString &path, QString *error, const FileWriter &write)
{
    return save_to_file(path, error, [&](AtomicFile &file, bool &dropped) {
        return write_whole_file(file, error, write, &dropped);
    });
}
