#include "app/window/ProjectMenu.h"

#include "app/document/ProjectFile.h"
#include "app/pictures/FileKind.h"
#include "app/window/PictureListModel.h"
#include "app/window/SlideEditor.h"
#include "app/window/WindowBinder.h"
#include "app/window/WindowServices.h"
#include "app/window/WindowTexts.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QWidget>

namespace {
// The window's own settings beyond the classic ones live in a section of their own.
constexpr const char* OptionsSection = "options";
const QString ProjectFilter = "Zemo Pixaroll projects (*.pixaroll)";
const QString ProjectExtension = ".pixaroll";

std::string RecentKey(int i) { return "recentproject" + std::to_string(i + 1); }

} // namespace

TProjectMenu::TProjectMenu(QWidget& window, TSlideEditor& slides, TWindowBinder& binder, TWindowServices& services,
                           const TGlobalObject& global)
    : QObject(&window), window_(window), slides_(slides), binder_(binder), services_(services), global_(global) {
    actNew = new QAction("&New", this);
    actNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    actOpen = new QAction("&Open...", this);
    actOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    actSave = new QAction("&Save", this);
    actSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    actSaveAs = new QAction("Save &As...", this);
    actSaveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    for (QAction* a : {actNew, actOpen, actSave, actSaveAs})
        window_.addAction(a); // the keys work wherever the focus is in the window
    connect(actNew, &QAction::triggered, this, [this] { New(); });
    connect(actOpen, &QAction::triggered, this, [this] { Open(); });
    connect(actSave, &QAction::triggered, this, [this] { Save(); });
    connect(actSaveAs, &QAction::triggered, this, [this] { SaveAs(); });

    IO.Read = [](const std::string& file, TSlideshowData& data, std::string& error) {
        return LoadProject(file, data, error);
    };
    IO.Write = [](const std::string& file, const TSlideshowData& data, std::string& error) {
        return SaveProject(file, data, error);
    };
    subscription_ = slides_.Document().Subscribe(nullptr, [this](const TDocumentChange&) { UpdateCaption(); });
}

TProjectMenu::~TProjectMenu() { slides_.Document().Unsubscribe(subscription_); }

void TProjectMenu::FillMenu(QMenu* menu) {
    menu->addAction(actNew);
    menu->addAction(actOpen);
    menu->addAction(actSave);
    menu->addAction(actSaveAs);
    menu->addSeparator();
    mnuRecent = menu->addMenu("&Recent Projects");
    connect(mnuRecent, &QMenu::aboutToShow, this, &TProjectMenu::FillRecentMenu);
    FillRecentMenu();
}

void TProjectMenu::WindowShown() {
    if (watching_)
        return;
    watching_ = true;
    // Any choice the user makes in the window is a change of the project.
    connect(&binder_, &TWindowBinder::ChoicesChanged, this, &TProjectMenu::ChoicesChanged);
    binder_.WatchChoices();
    actOpen->setEnabled(bool(IO.Read));
    actSave->setEnabled(bool(IO.Write));
    actSaveAs->setEnabled(bool(IO.Write));
    UpdateCaption();
}

void TProjectMenu::ChoicesChanged() {
    if (applying_)
        return;
    slides_.Document().SetModified(true);
    UpdateCaption();
}

bool TProjectMenu::HasUnsavedWork() const {
    const TSlideshowDocument& doc = slides_.Document();
    // An empty list that was never saved holds nothing to lose.
    return doc.Modified() && (doc.SlideCount() > 0 || !doc.ProjectFile.empty());
}

QString TProjectMenu::Caption() const {
    const TSlideshowDocument& doc = slides_.Document();
    const QString classic = ClassicCaption(global_);
    if (doc.ProjectFile.empty() && !HasUnsavedWork())
        return classic;
    const QString name =
        doc.ProjectFile.empty() ? QString("Untitled") : QFileInfo(QString::fromStdString(doc.ProjectFile)).completeBaseName();
    return name + (doc.Modified() ? "*" : "") + " - " + classic;
}

void TProjectMenu::UpdateCaption() {
    // Until the first showing the window keeps the caption it was made with.
    if (watching_)
        window_.setWindowTitle(Caption());
}

bool TProjectMenu::MayDiscard(const QString& question) {
    if (!HasUnsavedWork())
        return true;
    const QString name = slides_.Document().ProjectFile.empty()
                             ? QString("Untitled")
                             : QFileInfo(QString::fromStdString(slides_.Document().ProjectFile)).fileName();
    switch (services_.SaveChanges(&window_, QString::fromStdString(global_.AppTitle()),
                                           QString("Save the changes to \"%1\" %2").arg(name, question))) {
    case TWindowServices::ESaveAnswer::Save:
        return Save();
    case TWindowServices::ESaveAnswer::Discard:
        return true;
    default:
        return false;
    }
}

bool TProjectMenu::MayClose() { return MayDiscard("before closing?"); }

bool TProjectMenu::New() {
    if (!MayDiscard("before starting a new project?"))
        return false;
    TSlideshowDocument& doc = slides_.Document();
    applying_ = true;
    doc.Assign(TSlideshowData{});
    binder_.ShowMusic(QString(), binder_.Read(), {});
    applying_ = false;
    doc.ProjectFile.clear();
    doc.SetModified(false);
    emit Replaced();
    UpdateCaption();
    return true;
}

bool TProjectMenu::Open() {
    if (!IO.Read || !MayDiscard("before opening another project?"))
        return false;
    const QString file = services_.OpenProjectFile(&window_, ProjectFilter);
    return !file.isEmpty() && OpenFile(file);
}

bool TProjectMenu::OpenFile(const QString& file) {
    if (!IO.Read)
        return false;
    TSlideshowData data;
    std::string error;
    if (!IO.Read(file.toStdString(), data, error)) {
        if (!QFileInfo::exists(file))
            ForgetRecent(file);
        services_.Warning(&window_, "Warning",
                                   "Cannot open the project: " + QString::fromStdString(error));
        return false;
    }
    // A named pipe among the slides would block the thumbnails' first read.
    if (const std::string why = NotAFileProblems(data); !why.empty()) {
        services_.Warning(&window_, "Warning", "Cannot open the project: " + file + ": " + QString::fromStdString(why));
        return false;
    }
    TSlideshowDocument& doc = slides_.Document();
    applying_ = true;
    const TSlideshowSettings output = data.Output;
    const QString audio = data.Soundtracks.empty() ? QString() : QString::fromStdString(data.Soundtracks[0].File);
    doc.Assign(std::move(data));
    binder_.Show(output);
    binder_.ShowMusic(audio, output, doc.SettingsForJob().MoreAudio);
    applying_ = false;
    doc.ProjectFile = QFileInfo(file).absoluteFilePath().toStdString();
    doc.SetModified(false);
    emit Replaced();
    RememberRecent(file);
    UpdateCaption();
    Relink();
    return true;
}

void TProjectMenu::Relink() {
    TSlideshowDocument& doc = slides_.Document();
    const std::vector<TMissingFile> missing = MissingFiles(doc.Data());
    if (missing.empty())
        return;
    QStringList shown;
    for (std::size_t i = 0; i < missing.size() && i < 10; ++i)
        shown << QString::fromStdString(MissingFileText(missing[i]));
    if (missing.size() > 10)
        shown << QString("... and %1 more").arg(missing.size() - 10);
    const QString caption = QString::fromStdString(global_.AppTitle());
    if (!services_.Question(&window_, caption,
                                     QString("%1 files of the project are missing:\n%2\n\nLook for them in a folder?")
                                         .arg(missing.size())
                                         .arg(shown.join('\n'))))
        return;
    const QString folder = services_.ChooseFolder(&window_, "Folder of the missing files",
                                                           QFileInfo(QString::fromStdString(doc.ProjectFile)).path());
    if (folder.isEmpty())
        return;
    // Every missing file found there by its name takes that place at once.
    const int found = RelinkMissingFiles(doc, folder.toStdString());
    applying_ = true;
    binder_.ShowMusic(doc.Soundtracks().empty() ? QString() : QString::fromStdString(doc.Soundtracks()[0].File),
                      doc.Output(), doc.SettingsForJob().MoreAudio);
    applying_ = false;
    if (found < int(missing.size()))
        services_.Warning(&window_, "Warning",
                                   QString("%1 of %2 missing files are not in %3.")
                                       .arg(int(missing.size()) - found)
                                       .arg(missing.size())
                                       .arg(folder));
}

bool TProjectMenu::Save() {
    const std::string& file = slides_.Document().ProjectFile;
    return file.empty() ? SaveAs() : SaveTo(QString::fromStdString(file));
}

bool TProjectMenu::SaveAs() {
    if (!IO.Write)
        return false;
    const std::string& current = slides_.Document().ProjectFile;
    const QString suggested = current.empty() ? QDir::home().filePath("Untitled" + ProjectExtension)
                                              : QString::fromStdString(current);
    QString file = services_.SaveProjectFile(&window_, ProjectFilter, suggested);
    if (file.isEmpty())
        return false;
    if (!file.endsWith(ProjectExtension, Qt::CaseInsensitive))
        file += ProjectExtension;
    return SaveTo(file);
}

bool TProjectMenu::SaveTo(const QString& file) {
    if (!IO.Write)
        return false;
    TakeWindowChoices();
    TSlideshowDocument& doc = slides_.Document();
    std::string error;
    if (!IO.Write(file.toStdString(), doc.Data(), error)) {
        services_.Warning(&window_, "Warning",
                                   "Cannot save the project: " + QString::fromStdString(error));
        return false;
    }
    doc.ProjectFile = QFileInfo(file).absoluteFilePath().toStdString();
    doc.SetModified(false);
    emit Saved();
    RememberRecent(file);
    UpdateCaption();
    return true;
}

void TProjectMenu::TakeWindowChoices() {
    TSlideshowDocument& doc = slides_.Document();
    TSlideshowSettings output = binder_.Read();
    const std::vector<std::string> more = output.MoreAudio;
    output.Pictures.clear();
    output.Audio.clear();
    output.MoreAudio.clear();
    doc.SetOutput(std::move(output));
    const std::string audio = binder_.Soundtrack().toStdString();
    std::vector<TSoundtrack> soundtracks;
    if (!audio.empty())
        soundtracks.push_back({audio});
    for (const std::string& song : more)
        soundtracks.push_back({song});
    doc.SetSoundtracks(std::move(soundtracks));
}

TIniFile TProjectMenu::Ini() const { return TIniFile(global_.IniFileName()); }

QStringList TProjectMenu::RecentProjects() const {
    const TIniFile ini = Ini();
    QStringList files;
    for (int i = 0; i < MaxRecent; ++i) {
        const QString file = QString::fromStdString(ini.ReadString(OptionsSection, RecentKey(i), ""));
        if (!file.isEmpty() && !files.contains(file))
            files << file;
    }
    return files;
}

void TProjectMenu::RememberRecent(const QString& file) {
    QStringList files = RecentProjects();
    const QString absolute = QFileInfo(file).absoluteFilePath();
    files.removeAll(absolute);
    files.prepend(absolute);
    const TIniFile ini = Ini();
    for (int i = 0; i < MaxRecent; ++i)
        ini.WriteString(OptionsSection, RecentKey(i), i < files.size() ? files[i].toStdString() : std::string());
    FillRecentMenu();
}

void TProjectMenu::ForgetRecent(const QString& file) {
    QStringList files = RecentProjects();
    if (!files.removeAll(QFileInfo(file).absoluteFilePath()))
        return;
    const TIniFile ini = Ini();
    for (int i = 0; i < MaxRecent; ++i)
        ini.WriteString(OptionsSection, RecentKey(i), i < files.size() ? files[i].toStdString() : std::string());
    FillRecentMenu();
}

void TProjectMenu::FillRecentMenu() {
    if (!mnuRecent)
        return;
    mnuRecent->clear();
    const QStringList files = RecentProjects();
    for (int i = 0; i < files.size(); ++i) {
        const QString file = files[i];
        QAction* a = mnuRecent->addAction(QString("&%1 %2").arg(i + 1).arg(QFileInfo(file).fileName()));
        a->setToolTip(file);
        a->setData(file);
        connect(a, &QAction::triggered, this, [this, file] {
            if (MayDiscard("before opening another project?"))
                OpenFile(file);
        });
    }
    if (files.isEmpty())
        mnuRecent->addAction("(none)")->setEnabled(false);
    mnuRecent->setEnabled(bool(IO.Read));
}
