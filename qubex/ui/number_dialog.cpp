#include "number_dialog.h"

#include "files/text_io.h"
#include "tform1.h"
#include "up_down.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qubex {

NumberDialog::NumberDialog(TForm1& owner, const Look& look, int value)
    : QDialog(&owner), owner_(owner)
{
    setWindowTitle(look.caption);
    setFixedSize(look.client);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(8, 8, look.client.width() - 16, look.client.height() - 50);
    edit_ = new QLineEdit(QString::number(value), panel);
    edit_->setGeometry(8, 8, 60, 22);
    upDown_ = new UpDown(edit_, look.minimum, look.maximum, look.step, panel);
    upDown_->setGeometry(70, 8, 17, 22);
    auto* text = new QLabel(look.text, panel);
    text->setWordWrap(true);
    text->setGeometry(8, 34, panel->width() - 16, panel->height() - 38);

    const int buttonTop = look.client.height() - 34;
    const int buttonWidth = (look.client.width() - 32) / 3;
    help_ = new QPushButton("help", this);
    apply_ = new QPushButton("apply", this);
    close_ = new QPushButton("close", this);
    int left = 8;
    for (QPushButton* b : {help_, apply_, close_}) {
        b->setGeometry(left, buttonTop, buttonWidth, 25);
        b->setAutoDefault(false);
        left += buttonWidth + 8;
    }
    const int topic = look.helpTopic;
    connect(help_, &QPushButton::clicked, this, [this, topic] {
        owner_.prompts().help({HelpKind::Topic, topic});
    });
    connect(apply_, &QPushButton::clicked, this, [this] { apply(); });
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
}

std::optional<int> NumberDialog::readValue(int low, int high, const char* what)
{
    const std::string text = edit_->text().toStdString();
    std::string_view rest(text);
    const auto value = scanInteger(rest);
    if (!value) {
        owner_.prompts().message(
            this, QString("%1 must be a number from %2 to %3").arg(what).arg(low).arg(high),
            kTitle);
        return std::nullopt;
    }
    // Out-of-range numbers are moved to the nearest limit, as the settings file does, and
    // the field shows what was taken.
    const int taken = static_cast<int>(std::clamp<long long>(*value, low, high));
    if (taken != *value)
        edit_->setText(QString::number(taken));
    return taken;
}

TForm2::TForm2(TForm1& owner)
    : NumberDialog(owner,
                   {"qubex - matrix length", QSize(217, 134),
                    "Matrix length is the number of rows in the ifs-code. For more info click "
                    "the help button.",
                    1, kMaxMaps, 1, 14},
                   owner.document().code().matrix_length)
{
    setObjectName("Form2");
}

void TForm2::apply()
{
    const auto value = readValue(1, kMaxMaps, "Matrix length");
    if (!value)
        return;
    Document& d = owner_.document();
    d.setMatrixLength(*value);
    owner_.updateMenuChecks();
    d.newProbabilities();
    d.newMatrices();
    d.generatePoints();
    owner_.drawScene();
}

TForm3::TForm3(TForm1& owner)
    : NumberDialog(owner,
                   {"qubex - iteration", QSize(216, 144),
                    "Iteration is the number of the points in the ifs-set. For more info click "
                    "the help button.",
                    kMinIteration, 32000, 100, 15},
                   owner.document().generation().iteration)
{
    setObjectName("Form3");
}

void TForm3::apply()
{
    const auto value = readValue(kMinIteration, kMaxPoints, "Iteration");
    if (!value)
        return;
    Document& d = owner_.document();
    d.setIteration(*value);
    owner_.updateMenuChecks();
    d.generatePoints();
    owner_.drawScene();
}

} // namespace qubex
