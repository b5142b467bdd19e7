#include "codec_dialog.h"

#include "avi_writer.h"
#include "mjpeg_encoder.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace ormolith {

std::unique_ptr<FrameEncoder> makeEncoder(const CodecChoice& choice)
{
    if (choice.codec == CodecChoice::fullFrames)
        return std::make_unique<DibEncoder>();
    if (!MjpegEncoder::available())
        return nullptr;
    return std::make_unique<MjpegEncoder>(choice.quality);
}

CodecDialog::CodecDialog(const CodecChoice& initial, QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Video Compression");
    list_ = new QListWidget;
    list_->setObjectName("codecs");
    list_->addItem(kFullFramesCodecText);
    list_->addItem(kMotionJpegCodecText);
    const bool jpeg = MjpegEncoder::available();
    if (!jpeg)
        list_->item(1)->setFlags(Qt::NoItemFlags);
    list_->setCurrentRow(initial.codec == CodecChoice::motionJpeg && jpeg ? 1 : 0);
    list_->setMaximumHeight(list_->sizeHintForRow(0) * 3 + 2 * list_->frameWidth());

    quality_ = new QSpinBox;
    quality_->setObjectName("quality");
    quality_->setRange(1, 100);
    quality_->setValue(std::clamp(initial.quality, 1, 100));
    auto followCodec = [this] { quality_->setEnabled(list_->currentRow() == 1); };
    connect(list_, &QListWidget::currentRowChanged, this, followCodec);
    followCodec();

    auto* form = new QFormLayout;
    form->addRow("&Quality (1-100):", quality_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel("&Compressor:");
    label->setBuddy(list_);
    layout->addWidget(label);
    layout->addWidget(list_);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

CodecChoice CodecDialog::choice() const
{
    CodecChoice c;
    c.codec = list_->currentRow() == 1 ? CodecChoice::motionJpeg : CodecChoice::fullFrames;
    c.quality = quality_->value();
    return c;
}

} // namespace ormolith
