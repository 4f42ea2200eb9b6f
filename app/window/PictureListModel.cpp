#include "app/window/PictureListModel.h"

#include "app/pictures/FileKind.h"
#include "app/window/DocumentCommands.h"

#include "app/window/ThumbnailLoader.h"
#include "app/window/WindowTexts.h"

#include <QDataStream>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QIODevice>
#include <QMimeData>
#include <QPixmap>
#include <QUrl>

#include <algorithm>
#include <numeric>

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }

// The rows sorted, without duplicates and without rows outside 0..count-1.
QList<int> CleanRows(QList<int> rows, int count) {
    rows.erase(std::remove_if(rows.begin(), rows.end(), [count](int r) { return r < 0 || r >= count; }), rows.end());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

// File names as people read them: letters without regard to case, runs of digits as numbers
// ("img2" before "img10"). Qt's collator does so only where it is built with ICU.
int CompareNames(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            QStringView da = QStringView(a).mid(i, ei - i), db = QStringView(b).mid(j, ej - j);
            while (da.size() > 1 && da[0] == u'0')
                da = da.mid(1);
            while (db.size() > 1 && db[0] == u'0')
                db = db.mid(1);
            if (da.size() != db.size())
                return da.size() < db.size() ? -1 : 1;
            if (const int c = da.compare(db); c != 0)
                return c < 0 ? -1 : 1;
            i = ei, j = ej;
            continue;
        }
        const QChar ca = a[i].toCaseFolded(), cb = b[j].toCaseFolded();
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i, ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return a.compare(b); // only the case differs
}

struct TNameCollator {
    int compare(const QString& a, const QString& b) const { return CompareNames(a, b); }
};
TNameCollator NameCollator() { return {}; }
} // namespace

TPictureListModel::TPictureListModel(TSlideshowDocument& document, TThumbnailLoader* thumbnails, QObject* parent)
    : QAbstractListModel(parent), document_(document), thumbnails_(thumbnails) {
    subscription_ = document_.Subscribe([this](const TDocumentChange& c) { OnBefore(c); },
                                        [this](const TDocumentChange& c) { OnAfter(c); });
    if (thumbnails_)
        connect(thumbnails_, &TThumbnailLoader::Ready, this,
                [this](const QString& path, const QImage&) { ThumbnailReady(path); });
    RequestThumbnails(0, document_.SlideCount());
}

TPictureListModel::~TPictureListModel() { document_.Unsubscribe(subscription_); }

int TPictureListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : document_.SlideCount();
}

QVariant TPictureListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= document_.SlideCount())
        return {};
    const TSlide& slide = document_.Slide(index.row());
    const QString path = Q(slide.Picture);
    switch (role) {
    case Qt::DisplayRole: {
        QString text = QFileInfo(path).fileName();
        if (slide.Title.On) // text on a background of its own
            return QString::fromUtf8("Title \u2013 ") + Q(slide.Caption);
        if (!slide.Caption.empty())
            text += QString::fromUtf8(" \u2013 ") + Q(slide.Caption);
        return text;
    }
    case Qt::ToolTipRole:
    case PathRole:
        return path;
    case Qt::DecorationRole:
        if (thumbnails_ && thumbnails_->Has(path)) {
            const QImage image = thumbnails_->Thumbnail(path);
            if (!image.isNull())
                return image;
        }
        return {};
    case HoldRole:
        return slide.HoldSeconds ? QVariant(*slide.HoldSeconds) : QVariant();
    case EffectRole:
        return slide.Effect ? QVariant(*slide.Effect) : QVariant();
    case CaptionRole:
        return Q(slide.Caption);
    default:
        return {};
    }
}

Qt::ItemFlags TPictureListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    // Dropping onto a slide inserts before it, never into it.
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
}

bool TPictureListModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count <= 0 || row + count > document_.SlideCount())
        return false;
    const TNamedEdit edit(History, {});
    document_.RemoveSlides(row, count);
    return true;
}

bool TPictureListModel::moveRows(const QModelIndex& sourceParent, int sourceRow, int count,
                                 const QModelIndex& destinationParent, int destinationChild) {
    const int n = document_.SlideCount();
    if (sourceParent.isValid() || destinationParent.isValid() || sourceRow < 0 || count <= 0 ||
        sourceRow + count > n || destinationChild < 0 || destinationChild > n)
        return false;
    if (destinationChild >= sourceRow && destinationChild <= sourceRow + count)
        return false; // onto itself
    const TNamedEdit edit(History, {});
    document_.MoveSlides(sourceRow, count, destinationChild);
    return true;
}

Qt::DropActions TPictureListModel::supportedDropActions() const { return Qt::MoveAction | Qt::CopyAction; }
Qt::DropActions TPictureListModel::supportedDragActions() const { return Qt::MoveAction; }

QStringList TPictureListModel::mimeTypes() const { return {RowsMimeType, "text/uri-list"}; }

QMimeData* TPictureListModel::mimeData(const QModelIndexList& indexes) const {
    QList<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid())
            rows << index.row();
    rows = CleanRows(rows, document_.SlideCount());
    if (rows.isEmpty())
        return nullptr;
    auto* mime = new QMimeData;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    // The list the rows belong to: rows only mean something to the model they came from.
    out << quint64(reinterpret_cast<quintptr>(this)) << rows;
    mime->setData(RowsMimeType, bytes);
    // Other programs get the files.
    QList<QUrl> urls;
    for (int r : rows)
        urls << QUrl::fromLocalFile(Q(document_.Slide(r).Picture));
    mime->setUrls(urls);
    return mime;
}

bool TPictureListModel::OwnsRows(const QMimeData* data) const {
    if (!data || !data->hasFormat(RowsMimeType))
        return false;
    QByteArray bytes = data->data(RowsMimeType);
    QDataStream in(&bytes, QIODevice::ReadOnly);
    quint64 source = 0;
    in >> source;
    return in.status() == QDataStream::Ok && source == quint64(reinterpret_cast<quintptr>(this));
}

bool TPictureListModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int, const QModelIndex&) const {
    return data && (data->hasFormat(RowsMimeType) || data->hasUrls());
}

bool TPictureListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                     const QModelIndex& parent) {
    if (!data || action == Qt::IgnoreAction)
        return false;
    // Dropped onto a slide: before it.
    if (row < 0 && parent.isValid())
        row = parent.row();
    if (row < 0 || row > document_.SlideCount())
        row = document_.SlideCount();
    if (data->hasFormat(RowsMimeType)) {
        QByteArray bytes = data->data(RowsMimeType);
        QDataStream in(&bytes, QIODevice::ReadOnly);
        quint64 source = 0;
        QList<int> rows;
        in >> source >> rows;
        if (in.status() == QDataStream::Ok && source == quint64(reinterpret_cast<quintptr>(this))) {
            MoveRowsTo(rows, row);
            return true;
        }
    }
    if (!data->hasUrls())
        return false;
    QStringList paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return AddFiles(paths, row) > 0;
}

QStringList TPictureListModel::PicturesOf(const QStringList& paths) {
    QStringList pictures;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (const std::string why = NotAFileText(path.toStdString()); !why.empty() && !info.isDir()) {
            // A named pipe, a socket, a device: reading its first byte could block for ever.
            if (OnRefused)
                OnRefused(path, QString::fromStdString(why));
        } else if (info.isDir()) {
            QStringList inside;
            QDirIterator it(path, QDir::Files | QDir::Readable, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                if (window_texts::HasExtension(file, window_texts::SlideExtensions))
                    inside << file;
            }
            const TNameCollator collator = NameCollator();
            std::sort(inside.begin(), inside.end(),
                      [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
            pictures << inside;
        } else if (window_texts::HasExtension(path, window_texts::SlideExtensions)) {
            pictures << path;
        } else if (OnSkipped) {
            OnSkipped(path);
        }
    }
    return pictures;
}

int TPictureListModel::AddFiles(const QStringList& paths, int row) {
    const QStringList pictures = PicturesOf(paths);
    if (pictures.isEmpty())
        return 0;
    std::vector<TSlide> slides;
    slides.reserve(std::size_t(pictures.size()));
    for (const QString& picture : pictures) {
        TSlide slide;
        slide.Picture = picture.toStdString();
        slides.push_back(std::move(slide));
    }
    if (row < 0 || row > document_.SlideCount())
        row = document_.SlideCount();
    const TNamedEdit edit(History, {});
    document_.InsertSlides(row, std::move(slides));
    return int(pictures.size());
}

void TPictureListModel::RemoveRows(QList<int> rows) {
    rows = CleanRows(rows, document_.SlideCount());
    if (rows.isEmpty())
        return;
    const TNamedEdit edit(History, {});
    document_.RemoveSlides(std::vector<int>(rows.begin(), rows.end()));
}

QList<int> TPictureListModel::MoveRowsTo(QList<int> rows, int destination) {
    const int n = document_.SlideCount();
    rows = CleanRows(rows, n);
    destination = std::clamp(destination, 0, n);
    if (rows.isEmpty())
        return rows;
    // The new order: the rows before destination that are not moved, the moved rows, the rest.
    std::vector<int> order;
    order.reserve(std::size_t(n));
    for (int r = 0; r < destination; ++r)
        if (!rows.contains(r))
            order.push_back(r);
    const int at = int(order.size());
    order.insert(order.end(), rows.begin(), rows.end());
    for (int r = destination; r < n; ++r)
        if (!rows.contains(r))
            order.push_back(r);
    const TNamedEdit edit(History, rows.size() == 1 ? QString("Move 1 Slide") : QString("Move %1 Slides").arg(rows.size()));
    Reorder(order);
    QList<int> moved;
    for (int i = 0; i < rows.size(); ++i)
        moved << at + i;
    return moved;
}

QList<int> TPictureListModel::MoveRowsBy(QList<int> rows, int delta) {
    const int n = document_.SlideCount();
    rows = CleanRows(rows, n);
    if (rows.isEmpty() || delta == 0)
        return rows;
    if ((delta < 0 && rows.first() == 0) || (delta > 0 && rows.last() == n - 1))
        return rows; // already at the edge: the block keeps its shape
    // Each row takes one step; the neighbour it passes goes the other way.
    std::vector<int> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    if (delta < 0) {
        for (int r : rows)
            std::swap(order[std::size_t(r)], order[std::size_t(r - 1)]);
    } else {
        for (auto it = rows.rbegin(); it != rows.rend(); ++it)
            std::swap(order[std::size_t(*it)], order[std::size_t(*it + 1)]);
    }
    const TNamedEdit edit(History, rows.size() == 1 ? QString("Move 1 Slide") : QString("Move %1 Slides").arg(rows.size()));
    Reorder(order);
    QList<int> moved;
    for (int r : rows)
        moved << r + (delta < 0 ? -1 : 1);
    return moved;
}

// Brings the slides into order (order[i] is the present row of the slide that goes to row i),
// one move per slide that is out of place, so views keep their selection on the moved slides.
void TPictureListModel::Reorder(const std::vector<int>& order) {
    std::vector<int> current(order.size()); // current[i]: original row of the slide now at row i
    std::iota(current.begin(), current.end(), 0);
    for (int i = 0; i < int(order.size()); ++i) {
        const int from = int(std::find(current.begin() + i, current.end(), order[std::size_t(i)]) - current.begin());
        if (from == i)
            continue;
        document_.MoveSlides(from, 1, i);
        const int moved = current[std::size_t(from)];
        current.erase(current.begin() + from);
        current.insert(current.begin() + i, moved);
    }
}

void TPictureListModel::SortByName() {
    const TNameCollator collator = NameCollator();
    const int n = document_.SlideCount();
    std::vector<int> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::vector<QString> names;
    for (int r = 0; r < n; ++r)
        names.push_back(QFileInfo(Q(document_.Slide(r).Picture)).fileName());
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return collator.compare(names[std::size_t(a)], names[std::size_t(b)]) < 0;
    });
    const TNamedEdit edit(History, "Sort Slides by Name");
    Reorder(order);
}

void TPictureListModel::SortByDate() {
    const TNameCollator collator = NameCollator();
    const int n = document_.SlideCount();
    std::vector<int> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::vector<QString> dates, names;
    for (int r = 0; r < n; ++r) {
        const QString path = Q(document_.Slide(r).Picture);
        dates.push_back(DateTakenOf ? DateTakenOf(path) : QString());
        names.push_back(QFileInfo(path).fileName());
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const QString &da = dates[std::size_t(a)], &db = dates[std::size_t(b)];
        if (da.isEmpty() != db.isEmpty())
            return !da.isEmpty();
        if (da != db)
            return da < db;
        return collator.compare(names[std::size_t(a)], names[std::size_t(b)]) < 0;
    });
    const TNamedEdit edit(History, "Sort Slides by Date");
    Reorder(order);
}

void TPictureListModel::SetHold(const QList<int>& rows, std::optional<double> seconds) {
    const TNamedEdit edit(History, {});
    for (int r : CleanRows(rows, document_.SlideCount()))
        if (document_.Slide(r).HoldSeconds != seconds)
            document_.SetHold(r, seconds);
}

void TPictureListModel::SetEffect(const QList<int>& rows, std::optional<int> effect) {
    const TNamedEdit edit(History, {});
    for (int r : CleanRows(rows, document_.SlideCount()))
        if (document_.Slide(r).Effect != effect)
            document_.SetEffect(r, effect);
}

void TPictureListModel::SetCaption(const QList<int>& rows, const QString& caption) {
    const TNamedEdit edit(History, {});
    const std::string text = caption.toStdString();
    for (int r : CleanRows(rows, document_.SlideCount()))
        if (document_.Slide(r).Caption != text)
            document_.SetCaption(r, text);
}

void TPictureListModel::SetCaptionDateTaken(const QList<int>& rows, bool on) {
    const TNamedEdit edit(History, {});
    for (int r : CleanRows(rows, document_.SlideCount()))
        if (document_.Slide(r).CaptionDateTaken != on)
            document_.SetCaptionDateTaken(r, on);
}

void TPictureListModel::EditSlides(const QList<int>& rows, const std::function<void(TSlide&)>& edit) {
    for (int r : CleanRows(rows, document_.SlideCount())) {
        TSlide slide = document_.Slide(r);
        edit(slide);
        document_.SetSlide(r, std::move(slide)); // unchanged values change nothing
    }
}

void TPictureListModel::OnBefore(const TDocumentChange& change) {
    switch (change.Kind) {
    case TDocumentChange::SlidesInserted:
        beginInsertRows(QModelIndex(), change.First, change.First + change.Count - 1);
        break;
    case TDocumentChange::SlidesRemoved:
        beginRemoveRows(QModelIndex(), change.First, change.First + change.Count - 1);
        break;
    case TDocumentChange::SlidesMoved:
        moveRejected_ = !beginMoveRows(QModelIndex(), change.First, change.First + change.Count - 1, QModelIndex(),
                                       change.Destination);
        // A move the views cannot follow (onto itself): they are told afresh.
        if (moveRejected_)
            beginResetModel();
        break;
    case TDocumentChange::Reset:
        beginResetModel();
        break;
    default:
        break;
    }
}

void TPictureListModel::OnAfter(const TDocumentChange& change) {
    switch (change.Kind) {
    case TDocumentChange::SlidesInserted:
        endInsertRows();
        RequestThumbnails(change.First, change.Count);
        break;
    case TDocumentChange::SlidesRemoved:
        endRemoveRows();
        break;
    case TDocumentChange::SlidesMoved:
        if (moveRejected_)
            endResetModel();
        else
            endMoveRows();
        break;
    case TDocumentChange::SlidesEdited:
        if (change.Count > 0) {
            emit dataChanged(index(change.First), index(change.First + change.Count - 1));
            RequestThumbnails(change.First, change.Count); // a relinked picture
        }
        break;
    case TDocumentChange::Reset:
        endResetModel();
        RequestThumbnails(0, document_.SlideCount());
        break;
    default:
        break;
    }
}

void TPictureListModel::RequestThumbnails(int first, int count) {
    if (!thumbnails_)
        return;
    for (int r = first; r < first + count && r < document_.SlideCount(); ++r)
        thumbnails_->Request(Q(document_.Slide(r).Picture));
}

void TPictureListModel::ThumbnailReady(const QString& path) {
    const std::string name = path.toStdString();
    for (int r = 0; r < document_.SlideCount(); ++r)
        if (document_.Slide(r).Picture == name)
            emit dataChanged(index(r), index(r), {Qt::DecorationRole});
}
