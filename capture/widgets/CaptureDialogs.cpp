#include "capture/widgets/CaptureDialogs.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <gst/video/colorbalance.h>

namespace tarvo {

namespace {

void AddButtons(QDialog& dialog, QLayout* layout)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
}

bool RunPatternDialog(QWidget* parent, DeviceSettings& settings)
{
    QDialog dialog(parent);
    dialog.setObjectName("CaptureSourceDialog");
    dialog.setWindowTitle("Video Source");
    auto* form = new QFormLayout(&dialog);
    auto* pattern = new QComboBox(&dialog);
    pattern->addItems(TestPatterns());
    pattern->setCurrentText(settings.pattern);
    form->addRow("Pattern:", pattern);
    AddButtons(dialog, form);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    settings.pattern = pattern->currentText();
    return true;
}

bool RunControlsDialog(QWidget* parent, DeviceSettings& settings, GstElement* source)
{
    if (!source || !GST_IS_COLOR_BALANCE(source))
        return false;
    GstColorBalance* balance = GST_COLOR_BALANCE(source);
    QDialog dialog(parent);
    dialog.setObjectName("CaptureSourceDialog");
    dialog.setWindowTitle("Video Source");
    auto* form = new QFormLayout(&dialog);
    struct Control {
        GstColorBalanceChannel* channel;
        int original;
        QSlider* slider;
    };
    std::vector<Control> controls;
    for (const GList* l = gst_color_balance_list_channels(balance); l; l = l->next) {
        auto* channel = GST_COLOR_BALANCE_CHANNEL(l->data);
        auto* slider = new QSlider(Qt::Horizontal, &dialog);
        slider->setRange(channel->min_value, channel->max_value);
        const int original = gst_color_balance_get_value(balance, channel);
        slider->setValue(original);
        QObject::connect(slider, &QSlider::valueChanged, &dialog,
                         [balance, channel](int v) { gst_color_balance_set_value(balance, channel, v); });
        form->addRow(QString::fromUtf8(channel->label) + ":", slider);
        controls.push_back({channel, original, slider});
    }
    if (controls.empty())
        form->addRow(new QLabel("This camera offers no picture controls.", &dialog));
    AddButtons(dialog, form);
    if (dialog.exec() != QDialog::Accepted) {
        for (const auto& c : controls)
            gst_color_balance_set_value(balance, c.channel, c.original);
        return false;
    }
    settings.colourBalance.clear();
    for (const auto& c : controls)
        settings.colourBalance << QString::fromUtf8(c.channel->label) + "=" + QString::number(c.slider->value());
    return true;
}

} // namespace

bool RunSourceDialog(QWidget* parent, const DeviceEntry& device, DeviceSettings& settings, GstElement* source)
{
    if (device.kind == DeviceEntry::Kind::TestPattern)
        return RunPatternDialog(parent, settings);
    return RunControlsDialog(parent, settings, source);
}

bool RunFormatDialog(QWidget* parent, const std::vector<CaptureMode>& modes, DeviceSettings& settings)
{
    if (modes.empty())
        return false;
    QDialog dialog(parent);
    dialog.setObjectName("CaptureFormatDialog");
    dialog.setWindowTitle("Video Format");
    auto* form = new QFormLayout(&dialog);
    auto* choice = new QComboBox(&dialog);
    choice->setObjectName("mode");
    for (const auto& m : modes)
        choice->addItem(m.label());
    for (std::size_t i = 0; i < modes.size(); ++i)
        if (settings.modeChosen && modes[i] == settings.mode)
            choice->setCurrentIndex(int(i));
    form->addRow("Format:", choice);
    AddButtons(dialog, form);
    if (dialog.exec() != QDialog::Accepted || choice->currentIndex() < 0)
        return false;
    settings.mode = modes[std::size_t(choice->currentIndex())];
    settings.modeChosen = true;
    return true;
}

bool RunCompressionDialog(QWidget* parent, DeviceSettings& settings)
{
    QDialog dialog(parent);
    dialog.setObjectName("CaptureCompressionDialog");
    dialog.setWindowTitle("Video Compression");
    auto* layout = new QVBoxLayout(&dialog);
    auto* mjpeg = new QRadioButton("Motion JPEG", &dialog);
    auto* raw = new QRadioButton("Uncompressed", &dialog);
    auto* quality = new QSpinBox(&dialog);
    quality->setObjectName("quality");
    quality->setRange(1, 100);
    quality->setValue(settings.mjpegQuality);
    quality->setPrefix("Quality: ");
    (settings.compressMjpeg ? mjpeg : raw)->setChecked(true);
    quality->setEnabled(settings.compressMjpeg);
    QObject::connect(mjpeg, &QRadioButton::toggled, quality, &QSpinBox::setEnabled);
    layout->addWidget(mjpeg);
    layout->addWidget(quality);
    layout->addWidget(raw);
    AddButtons(dialog, layout);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    settings.compressMjpeg = mjpeg->isChecked();
    settings.mjpegQuality = quality->value();
    return true;
}

} // namespace tarvo
