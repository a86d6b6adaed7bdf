#include "imaging/widgets/CaptionAndAreaWindow.h"

#include "imaging/Caption.h"
#include "imaging/widgets/AreaOutline.h"
#include "imaging/widgets/PictureView.h"
#include "settings/ActiveOptions.h"
#include "settings/ProgramDir.h"

#include <QFile>
#include <QHideEvent>
#include <QMessageBox>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
constexpr QSize DesignPictureSize(560, 420);
}

CaptionAndAreaWindow::CaptionAndAreaWindow(Hooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Tool), Image1(new PictureView(this)), hooks_(std::move(hooks))
{
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(QStringLiteral("Caption example"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(Image1);
    Image1->clearPicture(DesignPictureSize);
    connect(Image1, &PictureView::mouseMoved, this, &CaptionAndAreaWindow::Image1MouseMove);
    connect(Image1, &PictureView::clicked, this, &CaptionAndAreaWindow::Image1Click);
}

CaptionAndAreaWindow::~CaptionAndAreaWindow() = default;

void CaptionAndAreaWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void CaptionAndAreaWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        FormHide();
}

void CaptionAndAreaWindow::FormShow()
{
    loaded_.reset();
    if (hooks_.saveSingleImage)
        hooks_.saveSingleImage();
    if (!DefineAreaMode) {
        Image1->setCursor(Qt::ArrowCursor);
        setWindowTitle(QStringLiteral("Caption Example"));
        DrawCaptionExample();
        return;
    }
    Image1->setCursor(Qt::CrossCursor);
    setWindowTitle(DetectionAreaPicker::IdleTitle());
    LoadExamplePicture();
    picker_.Start(Image1->areaSize()); // the picture just loaded decides where corners may lie
    if (hooks_.shownArea && !Image1->picture().isNull()) {
        const DetectionArea shown = hooks_.shownArea();
        QImage picture = Image1->picture();
        DrawAreaOutline(picture, {shown.beginX, shown.beginY}, {shown.endX, shown.endY},
                        ActiveOptions.MarkColor);
        ShowPicture(picture);
    }
}

void CaptionAndAreaWindow::FormHide()
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

void CaptionAndAreaWindow::Image1MouseMove(QPoint pos)
{
    if (!DefineAreaMode || picker_.state() == DetectionAreaPicker::State::Idle)
        return;
    picker_.MouseMove(pos);
    setWindowTitle(picker_.Title());
    if (const auto band = picker_.RubberBand()) {
        LoadExamplePicture();
        QImage picture = Image1->picture();
        if (picture.isNull())
            return;
        DrawAreaOutline(picture, band->first, band->second, ActiveOptions.MarkColor);
        ShowPicture(picture);
    }
}

void CaptionAndAreaWindow::Image1Click()
{
    if (!DefineAreaMode)
        return;
    if (picker_.Click())
        hide();
}

void CaptionAndAreaWindow::DrawCaptionExample()
{
    LoadExamplePicture();
    QImage picture = Image1->picture();
    if (picture.isNull())
        return;
    const OptionsValues settings = hooks_.captionSettings ? hooks_.captionSettings() : ActiveOptions;
    DrawCaption(picture, settings);
    ShowPicture(picture);
}

std::optional<QImage> CaptionAndAreaWindow::ReadExamplePicture() const
{
    QImage picture;
    const QString still = hooks_.singleImageFile ? hooks_.singleImageFile() : QString();
    // A still picture the camera wrote but that cannot be read falls back to the example, the
    // same as a camera that wrote none.
    if (!still.isEmpty() && QFile::exists(still) && picture.load(still))
        return picture.convertToFormat(QImage::Format_RGB32);
    if (picture.load(ProgramDir() + QStringLiteral("example.bmp")))
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
        Image1->clearPicture(Image1->areaSize());
        adjustSize();
    }
}

void CaptionAndAreaWindow::ShowPicture(const QImage& picture)
{
    Image1->setPicture(picture);
    adjustSize();
}
