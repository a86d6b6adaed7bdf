#include "imaging/widgets/CaptionAndAreaWindow.h"

#include "imaging/Caption.h"
#include "imaging/widgets/AreaOutline.h"
#include "imaging/widgets/PictureView.h"
#include "settings/ActiveSettings.h"

#include <QFile>
#include <QHideEvent>
#include <QMessageBox>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tarvo {

namespace {
constexpr QSize DesignPictureSize(560, 420);
}

CaptionAndAreaWindow::CaptionAndAreaWindow(const ActiveSettings& settings, const QString& programDir, Hooks hooks,
                                           QWidget* parent)
    : QWidget(parent, Qt::Tool), picture_(new PictureView(this)), settings_(settings), programDir_(programDir),
      hooks_(std::move(hooks))
{
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(QStringLiteral("Caption example"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    picture_->setObjectName(QStringLiteral("Image1"));
    layout->addWidget(picture_);
    picture_->clearPicture(DesignPictureSize);
    connect(picture_, &PictureView::mouseMoved, this, &CaptionAndAreaWindow::TrackPointer);
    connect(picture_, &PictureView::clicked, this, &CaptionAndAreaWindow::PickCorner);
    live_.setInterval(LiveIntervalMs);
    connect(&live_, &QTimer::timeout, this, &CaptionAndAreaWindow::RenewLivePicture);
}

CaptionAndAreaWindow::~CaptionAndAreaWindow() = default;

void CaptionAndAreaWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        PrepareShowing();
}

void CaptionAndAreaWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        FinishShowing();
}

void CaptionAndAreaWindow::PrepareShowing()
{
    loaded_.reset();
    if (hooks_.saveSingleImage)
        hooks_.saveSingleImage();
    if (!DefineAreaMode) {
        picture_->setCursor(Qt::ArrowCursor);
        setWindowTitle(QStringLiteral("Caption Example"));
        DrawCaptionExample();
        return;
    }
    picture_->setCursor(Qt::CrossCursor);
    setWindowTitle(DetectionAreaPicker::IdleTitle());
    LoadExamplePicture();
    picker_.Start(picture_->areaSize()); // the picture just loaded decides where corners may lie
    DrawAreaChoice();
    PlaceBesideDialog();
    live_.start();
}

void CaptionAndAreaWindow::DrawAreaChoice()
{
    LoadExamplePicture();
    QImage picture = picture_->picture();
    if (picture.isNull())
        return;
    if (const auto band = picker_.RubberBand()) {
        DrawAreaOutline(picture, band->first, band->second, settings_.options.MarkColor);
    } else if (hooks_.shownArea) {
        const DetectionArea shown = hooks_.shownArea();
        DrawAreaOutline(picture, {shown.beginX, shown.beginY}, {shown.endX, shown.endY}, settings_.options.MarkColor);
    }
    ShowPicture(picture);
}

void CaptionAndAreaWindow::RenewLivePicture()
{
    if (!DefineAreaMode || !hooks_.saveSingleImage || !hooks_.singleImageFile)
        return;
    hooks_.saveSingleImage();
    QImage picture;
    // The corners were fixed on the first picture's size; one of another size waits for the next showing.
    if (!picture.load(hooks_.singleImageFile()) || !loaded_ || !*loaded_ || picture.size() != (*loaded_)->size())
        return;
    loaded_ = std::optional<QImage>(picture.convertToFormat(QImage::Format_RGB32));
    DrawAreaChoice();
}

void CaptionAndAreaWindow::PlaceBesideDialog()
{
    const QWidget* dialog = parentWidget() ? parentWidget()->window() : nullptr;
    if (!dialog || !dialog->isVisible() || !dialog->screen())
        return;
    const QRect screen = dialog->screen()->availableGeometry();
    const QRect taken = dialog->frameGeometry();
    const QSize size = frameGeometry().size();
    // Right of the dialog, left of it, below, above; the first that fits on the screen.
    const QPoint places[] = {{taken.right() + 1, taken.top()}, {taken.left() - size.width(), taken.top()},
                             {taken.left(), taken.bottom() + 1}, {taken.left(), taken.top() - size.height()}};
    for (const QPoint& p : places) {
        if (screen.contains(QRect(p, size))) {
            move(p);
            return;
        }
    }
    // No room beside it: the screen's far corner covers the least of the dialog's top lines.
    move(screen.right() + 1 - size.width(), screen.bottom() + 1 - size.height());
}

void CaptionAndAreaWindow::FinishShowing()
{
    if (DefineAreaMode && hooks_.storeArea)
        hooks_.storeArea(picker_.OrderedArea());
    DefineAreaMode = false;
    live_.stop();
    loaded_.reset();
    if (hooks_.singleImageFile) {
        const QString still = hooks_.singleImageFile();
        if (!still.isEmpty() && QFile::exists(still))
            QFile::remove(still);
    }
}

void CaptionAndAreaWindow::TrackPointer(QPoint pos)
{
    if (!DefineAreaMode || picker_.state() == DetectionAreaPicker::State::Idle)
        return;
    picker_.MouseMove(pos);
    setWindowTitle(picker_.Title());
    if (picker_.RubberBand())
        DrawAreaChoice();
}

void CaptionAndAreaWindow::PickCorner()
{
    if (!DefineAreaMode)
        return;
    if (picker_.Click())
        hide();
}

void CaptionAndAreaWindow::DrawCaptionExample()
{
    LoadExamplePicture();
    QImage picture = picture_->picture();
    if (picture.isNull())
        return;
    const OptionsValues settings = hooks_.captionSettings ? hooks_.captionSettings() : settings_.options;
    DrawCaption(picture, settings);
    ShowPicture(picture);
}

QImage CaptionAndAreaWindow::ShownPicture() const { return picture_->picture(); }

std::optional<QImage> CaptionAndAreaWindow::ReadExamplePicture() const
{
    QImage picture;
    const QString still = hooks_.singleImageFile ? hooks_.singleImageFile() : QString();
    // A still picture the camera wrote but that cannot be read falls back to the example, the
    // same as a camera that wrote none.
    if (!still.isEmpty() && QFile::exists(still) && picture.load(still))
        return picture.convertToFormat(QImage::Format_RGB32);
    if (picture.load(programDir_ + QStringLiteral("example.bmp")))
        return picture.convertToFormat(QImage::Format_RGB32);
    return std::nullopt;
}

void CaptionAndAreaWindow::LoadExamplePicture()
{
    if (!loaded_) {
        loaded_ = ReadExamplePicture();
        if (!*loaded_) {
            const QString text = QStringLiteral("Could not load 'example.bmp'");
            if (hooks_.showError)
                hooks_.showError(text);
            else
                QMessageBox::critical(this, QStringLiteral("Error"), text, QMessageBox::Ok);
        }
    }
    if (*loaded_) {
        ShowPicture(**loaded_);
    } else {
        picture_->clearPicture(picture_->areaSize());
        adjustSize();
    }
}

void CaptionAndAreaWindow::ShowPicture(const QImage& picture)
{
    picture_->setPicture(picture);
    adjustSize();
}

} // namespace tarvo
