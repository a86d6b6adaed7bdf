#pragma once
// The caption example and detection-area window of the setup dialog (form TForm5). It shows a still picture
// from the camera (or the bundled example.bmp) and either draws the caption as the dialog's
// controls currently set it, or lets the user click the two corners of the motion detection area
// on the camera's picture, renewed a few times a second.
#include "imaging/widgets/DetectionAreaPicker.h"
#include "settings/OptionsValues.h"

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

namespace tarvo {

class ActiveSettings;
class PictureView;

class CaptionAndAreaWindow final : public QWidget {
    Q_OBJECT
public:
    // What the window asks of the rest of the program; the app wires these to the capture
    // component and the setup dialog. Unset hooks do nothing (no still picture, nothing stored).
    struct Hooks {
        // The capture component writes the frame it holds to its single-image file.
        std::function<void()> saveSingleImage;
        std::function<QString()> singleImageFile;
        // The caption fields (text, font, colours, transparency, position) of the setup dialog's
        // current controls, before they are accepted.
        std::function<OptionsValues()> captionSettings;
        // The dialog's four area boxes, and the write-back that fills them and selects
        // "User defined area:".
        std::function<DetectionArea()> shownArea;
        std::function<void(const DetectionArea&)> storeArea;
        // Shows an error message box; by default a real one.
        std::function<void(const QString& text)> showError;
    };

    // The settings in force give the mark colour, and the caption when no hook gives it; the
    // program folder programDir holds the example picture.
    CaptionAndAreaWindow(const ActiveSettings& settings, const QString& programDir, Hooks hooks, QWidget* parent = nullptr);
    ~CaptionAndAreaWindow() override;

    // How often the detection area's picture is renewed from the camera.
    static constexpr int LiveIntervalMs = 250;

    // Set by the setup dialog right before it shows the window: true for the detection area,
    // false for the caption example. Every hide sets it back to false.
    bool DefineAreaMode = false;

    // Redraws the caption example from the dialog's current controls; the setup dialog calls it
    // while the window is visible whenever a caption control changes.
    void DrawCaptionExample();

    const DetectionAreaPicker& AreaPicker() const { return picker_; }
    // The picture on show, with the caption or the area outline drawn into it.
    QImage ShownPicture() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Showing reads a fresh still and draws the caption or the area shown in the dialog; hiding
    // writes a defined area back and removes the still.
    void PrepareShowing();
    void FinishShowing();
    // In area mode: a click fixes a corner, a move draws the rubber band to the pointer.
    void PickCorner();
    void TrackPointer(QPoint pos);
    // Draws the rubber band, or before the first corner the area shown in the dialog, on the
    // picture last read.
    void DrawAreaChoice();
    // Takes the camera's picture of now, keeping the last one when the camera gives none.
    void RenewLivePicture();
    // Beside the setup dialog, so that the dialog's lines (the scene meter's among them) stay in view.
    void PlaceBesideDialog();

    // Puts a fresh copy of the example picture on show (wiping earlier drawing) and fits the
    // window to it. The file is read once per showing: every later call reuses it, so the
    // rubber band does not reread the disk on each mouse move and a missing picture is reported
    // once, not on every move.
    void LoadExamplePicture();
    std::optional<QImage> ReadExamplePicture() const;
    void ShowPicture(const QImage& picture);

    PictureView* picture_;
    const ActiveSettings& settings_;
    const QString programDir_;
    Hooks hooks_;
    DetectionAreaPicker picker_;
    std::optional<std::optional<QImage>> loaded_; // outer: read this showing; inner: succeeded
    QTimer live_;
};

} // namespace tarvo
