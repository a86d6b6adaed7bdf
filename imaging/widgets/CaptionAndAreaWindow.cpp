#include "imaging/widgets/CaptionAndAreaWindow.h"

#include "imaging/Caption.h"
#include "imaging/widgets/AreaOutline.h"
#include "imaging/widgets/PictureView.h"
#include "settings/ActiveSettings.h"

#include <QFile>
#include <QHideEvent>
#include <QMessageBox>
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
    if (hooks_.shownArea && !picture_->picture().isNull()) {
        const DetectionArea shown = hooks_.shownArea();
        QImage picture = picture_->picture();
        DrawAreaOutline(picture, {shown.beginX, shown.beginY}, {shown.endX, shown.endY},
                        settings_.options.MarkColor);
        ShowPicture(picture);
    }
}

void CaptionAndAreaWindow::FinishShowing()
{
    if (DefineAreaMode && hooks_.storeArea)
        hooks_.storeArea(picker_.OrderedArea());
    DefineAreaMode = false;
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
    if (const auto band = picker_.RubberBand()) {
        LoadExamplePicture();
        QImage picture = picture_->picture();
        if (picture.isNull())
            return;
        DrawAreaOutline(picture, band->first, band->second, settings_.options.MarkColor);
        ShowPicture(picture);
    }
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
