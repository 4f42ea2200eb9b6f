#include "app/window/ThumbnailLoader.h"

#include "app/clips/ClipFile.h"
#include "app/clips/ClipThumbnail.h"

#include <QImageReader>
#include <QMetaObject>
#include <QRunnable>
#include <QThread>

#include <algorithm>

TThumbnailLoader::TThumbnailLoader(QSize box, QObject* parent) : QObject(parent), box_(box) {
    // Leave a core to the window and the encoder; the decoding itself is cheap at reduced size.
    pool_.setMaxThreadCount(std::clamp(QThread::idealThreadCount() - 1, 1, 4));
    pool_.setThreadPriority(QThread::LowPriority);
}

TThumbnailLoader::~TThumbnailLoader() {
    // Nothing queued may run after the loader is gone: drop what has not started, wait for the rest.
    pool_.clear();
    pool_.waitForDone();
}

QImage TThumbnailLoader::Make(const QString& path, QSize box) {
    if (IsClipFile(path.toStdString())) {
        // A clip shows its first picture.
        TFrameBitmap picture;
        std::string why;
        if (!ClipFirstPicture(path.toStdString(), box.width(), box.height(), picture, why))
            return QImage();
        QImage image(reinterpret_cast<const uchar*>(picture.Bits()), picture.Width(), picture.Height(), picture.Stride(),
                     QImage::Format_RGB32);
        return image.copy();
    }
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid()) {
        // The stored size; a picture turned a quarter by its orientation shows with its sides swapped.
        QSize shown = full;
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            shown.transpose();
        QSize scaled = shown.scaled(box, Qt::KeepAspectRatio);
        if (scaled.width() < 1 || scaled.height() < 1)
            scaled = QSize(1, 1);
        if (scaled.width() < shown.width()) {
            // The reader scales before it turns the picture: it wants the stored orientation.
            if (reader.transformation() & QImageIOHandler::TransformationRotate90)
                scaled.transpose();
            reader.setScaledSize(scaled);
        }
    }
    QImage image = reader.read();
    if (image.isNull())
        return image;
    if (image.width() > box.width() || image.height() > box.height())
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

void TThumbnailLoader::Request(const QString& path) {
    if (path.isEmpty() || done_.contains(path) || pending_.contains(path))
        return;
    pending_.insert(path);
    const QSize box = box_;
    pool_.start([this, path, box] {
        const QImage image = Make(path, box);
        // The loader waits for its pool before it goes, so it is alive here; the delivery runs
        // later on the loader's own thread (and is dropped if the loader is gone by then).
        QMetaObject::invokeMethod(this, [this, path, image] { Deliver(path, image); }, Qt::QueuedConnection);
    });
}

void TThumbnailLoader::Deliver(const QString& path, const QImage& image) {
    pending_.remove(path);
    done_.insert(path, image);
    emit Ready(path, image);
}
