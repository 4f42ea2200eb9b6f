#pragma once
// Thumbnails of the picture list, made on a pool of worker threads so that adding hundreds of
// large photos never blocks the window. A picture is read with QImageReader at a reduced size
// (libjpeg then decodes at a fraction of the full resolution) and turned upright as its EXIF
// orientation says; the result reaches the user-interface thread through Ready.

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QThreadPool>

class TThumbnailLoader : public QObject {
    Q_OBJECT
public:
    explicit TThumbnailLoader(QSize box, QObject* parent = nullptr);
    ~TThumbnailLoader() override;

    QSize Box() const { return box_; }
    // The thumbnail when it is made; a null image when it is not (yet), or the file cannot be read.
    QImage Thumbnail(const QString& path) const { return done_.value(path); }
    bool Has(const QString& path) const { return done_.contains(path); }
    // Queues the picture unless it is made or queued already.
    void Request(const QString& path);
    // Pictures queued and not made yet.
    int Pending() const { return int(pending_.size()); }
    // Waits for the queued work (tests, closing).
    void WaitForDone() { pool_.waitForDone(); }

    // Reads one picture scaled to fit box; a null image when it cannot be read. Thread-safe.
    static QImage Make(const QString& path, QSize box);

signals:
    // On the user-interface thread; image is null when the picture could not be read.
    void Ready(const QString& path, const QImage& image);

private:
    void Deliver(const QString& path, const QImage& image);

    QSize box_;
    QThreadPool pool_;
    QSet<QString> pending_;
    QHash<QString, QImage> done_;
};
