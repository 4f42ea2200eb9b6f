#include "app/window/ProjectMenu.h"

#include "app/ProjectFile.h"
#include "app/window/CodecOptionsPanel.h"
#include "app/window/MainWindow.h"
#include "app/window/MotionChoice.h"
#include "app/window/MusicOptions.h"
#include "app/window/MusicTimingPanel.h"
#include "app/window/PictureListModel.h"
#include "app/window/SlideEditor.h"
#include "app/window/WindowServices.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSpinBox>

#include <cmath>

namespace {
// The window's own settings beyond the classic ones live in a section of their own.
constexpr const char* OptionsSection = "options";
const QString ProjectFilter = "Zemo Pixaroll projects (*.pixaroll)";
const QString ProjectExtension = ".pixaroll";

std::string RecentKey(int i) { return "recentproject" + std::to_string(i + 1); }

// A delay as the window's whole seconds; what is no number keeps the control as it is.
void ShowSeconds(QSpinBox* spin, const std::string& text) {
    bool ok = false;
    const double seconds = QString::fromStdString(text).trimmed().toDouble(&ok);
    if (ok && std::isfinite(seconds))
        spin->setValue(int(std::lround(std::clamp(seconds, double(spin->minimum()), double(spin->maximum())))));
}
} // namespace

TProjectMenu::TProjectMenu(TfrmMain& window, TSlideEditor& slides)
    : QObject(&window), window_(window), slides_(slides) {
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
    const auto changed = [this] { ChoicesChanged(); };
    connect(window_.cmbFormat, &QComboBox::currentIndexChanged, this, changed);
    connect(window_.cmbVideoSize, &QComboBox::currentTextChanged, this, changed);
    connect(window_.cmbBitRate, &QComboBox::currentIndexChanged, this, changed);
    connect(window_.cmbFramerate, &QComboBox::currentIndexChanged, this, changed);
    connect(window_.cmbSampleRate, &QComboBox::currentIndexChanged, this, changed);
    connect(window_.rdoStereo, &QRadioButton::toggled, this, changed);
    connect(window_.edtPictureDelay, &QSpinBox::valueChanged, this, changed);
    connect(window_.edtTransitionDelay, &QSpinBox::valueChanged, this, changed);
    connect(window_.chkRandomEffect, &QCheckBox::toggled, this, changed);
    connect(window_.chkPictures, &QCheckBox::toggled, this, changed);
    connect(window_.txtAudio, &QLineEdit::textChanged, this, changed);
    connect(window_.dlgMusic, &TMusicOptions::Changed, this, changed);
    connect(window_.pnlMusicTiming->chkFitToMusic, &QCheckBox::toggled, this, changed);
    connect(window_.pnlMusicTiming->chkBeats, &QCheckBox::toggled, this, changed);
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
    const QString classic = window_.PartsCaption();
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
    switch (window_.Services().SaveChanges(&window_, QString::fromStdString(window_.Global().AppTitle()),
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
    window_.txtAudio->clear();
    window_.dlgMusic->Show(window_.JobSettings(), {});
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
    const QString file = window_.Services().OpenProjectFile(&window_, ProjectFilter);
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
        window_.Services().Warning(&window_, "Warning",
                                   "Cannot open the project: " + QString::fromStdString(error));
        return false;
    }
    TSlideshowDocument& doc = slides_.Document();
    applying_ = true;
    const TSlideshowSettings output = data.Output;
    const QString audio = data.Soundtracks.empty() ? QString() : QString::fromStdString(data.Soundtracks[0].File);
    doc.Assign(std::move(data));
    ShowChoices(output);
    window_.txtAudio->setText(audio);
    window_.dlgMusic->Show(output, doc.SettingsForJob().MoreAudio);
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
    const QString caption = QString::fromStdString(window_.Global().AppTitle());
    if (!window_.Services().Question(&window_, caption,
                                     QString("%1 files of the project are missing:\n%2\n\nLook for them in a folder?")
                                         .arg(missing.size())
                                         .arg(shown.join('\n'))))
        return;
    const QString folder = window_.Services().ChooseFolder(&window_, "Folder of the missing files",
                                                           QFileInfo(QString::fromStdString(doc.ProjectFile)).path());
    if (folder.isEmpty())
        return;
    // Every missing file found there by its name takes that place at once.
    const int found = RelinkMissingFiles(doc, folder.toStdString());
    applying_ = true;
    window_.txtAudio->setText(doc.Soundtracks().empty() ? QString()
                                                        : QString::fromStdString(doc.Soundtracks()[0].File));
    window_.dlgMusic->Show(doc.Output(), doc.SettingsForJob().MoreAudio);
    applying_ = false;
    if (found < int(missing.size()))
        window_.Services().Warning(&window_, "Warning",
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
    QString file = window_.Services().SaveProjectFile(&window_, ProjectFilter, suggested);
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
        window_.Services().Warning(&window_, "Warning",
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
    TSlideshowSettings output = window_.JobSettings();
    const std::vector<std::string> more = output.MoreAudio;
    output.Pictures.clear();
    output.Audio.clear();
    output.MoreAudio.clear();
    doc.SetOutput(std::move(output));
    const std::string audio = window_.txtAudio->text().toStdString();
    std::vector<TSoundtrack> soundtracks;
    if (!audio.empty())
        soundtracks.push_back({audio});
    for (const std::string& song : more)
        soundtracks.push_back({song});
    doc.SetSoundtracks(std::move(soundtracks));
}

void TProjectMenu::ShowChoices(const TSlideshowSettings& output) {
    // Each choice as the user would make it: selected, then stored by the control's own handler.
    const auto select = [](QComboBox* box, const QString& text) {
        const int position = box->findText(text, Qt::MatchFixedString);
        if (position >= 0)
            box->setCurrentIndex(position);
        return position >= 0;
    };
    if (select(window_.cmbFormat, QString::fromStdString(output.Format)))
        window_.cmbFormatChange();
    // After the format: its row decides which quality choices there are.
    window_.pnlCodec->Show(output);
    window_.cmbMotion->Show(output);
    if (!select(window_.cmbVideoSize, QString::fromStdString(output.FrameSize)))
        window_.cmbVideoSize->setEditText(QString::fromStdString(output.FrameSize));
    window_.cmbVideoSizeChange();
    if (select(window_.cmbFramerate, QString::fromStdString(output.FrameRate)))
        window_.cmbFramerateChange();
    if (select(window_.cmbBitRate, QString::number(output.VideoBitRate / 1000)))
        window_.cmbBitRateChange();
    for (int position = 0; position < window_.cmbSampleRate->count(); ++position)
        if (TfrmMain::SampleRateOfPosition(position) == output.AudioSampleRate) {
            window_.cmbSampleRate->setCurrentIndex(position);
            window_.cmbSampleRateChange();
            break;
        }
    QRadioButton* channels = output.AudioChannels == 1 ? window_.rdoMono : window_.rdoStereo;
    channels->setChecked(true);
    window_.rdoStereoClick();
    ShowSeconds(window_.edtPictureDelay, output.HoldSeconds);
    ShowSeconds(window_.edtTransitionDelay, output.TransitionSeconds);
    window_.chkRandomEffect->setChecked(output.RandomEffects);
    window_.chkPictures->setChecked(output.BreakWhenNoPictures);
    window_.pnlMusicTiming->chkFitToMusic->setChecked(output.FitToMusic);
    window_.pnlMusicTiming->chkBeats->setChecked(output.Beats);
}

QStringList TProjectMenu::RecentProjects() const {
    const TIniFile ini = window_.Ini();
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
    const TIniFile ini = window_.Ini();
    for (int i = 0; i < MaxRecent; ++i)
        ini.WriteString(OptionsSection, RecentKey(i), i < files.size() ? files[i].toStdString() : std::string());
    FillRecentMenu();
}

void TProjectMenu::ForgetRecent(const QString& file) {
    QStringList files = RecentProjects();
    if (!files.removeAll(QFileInfo(file).absoluteFilePath()))
        return;
    const TIniFile ini = window_.Ini();
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
