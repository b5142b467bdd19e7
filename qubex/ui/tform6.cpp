#include "tform6.h"

#include "model/ifs_model.h"
#include "suite_version.h"

#include <QLabel>
#include <QPainter>

#include <memory>

namespace qubex {

namespace {

constexpr int kWidth = 357;
constexpr int kHeight = 234;

// A fixed little generator so the picture is the same on every start.
class PictureRandom final : public RandomSource {
public:
    int next() override
    {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7fff);
    }

private:
    std::uint32_t state_ = 20261208u;
};

} // namespace

QImage TForm6::picture()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(QColor(8, 10, 30));
    QPainter p(&image);

    PictureRandom random;
    IfsCode code;
    code.matrix_length = 4;
    newProbabilities(code, random);
    newMatrices(code, random);
    auto cloud = std::make_unique<PointCloud>();
    generatePoints(code, {.iteration = 20000, .autosize = true, .autocenter = true}, *cloud,
                   random);
    // A quick oblique projection, coloured by depth like the fog in the real view.
    for (int n = 0; n < cloud->count; ++n) {
        const Point3f& pt = cloud->points[n];
        const int x = static_cast<int>(kWidth * 0.68 + (pt.x + 0.35 * pt.z) * 60);
        const int y = static_cast<int>(kHeight * 0.5 - (pt.y + 0.25 * pt.z) * 60);
        if (x < 0 || y < 0 || x >= kWidth || y >= kHeight)
            continue;
        const int shade = std::clamp(static_cast<int>(200 + pt.z * 50), 60, 255);
        image.setPixelColor(x, y, QColor(shade, shade, 255));
    }
    p.setPen(QColor(230, 230, 255));
    QFont title = p.font();
    title.setPointSize(26);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(18, 20, 200, 50), Qt::AlignLeft, "qubex");
    QFont small = p.font();
    small.setPointSize(9);
    small.setBold(false);
    p.setFont(small);
    p.drawText(QRect(20, 70, 200, 80), Qt::AlignLeft | Qt::TextWordWrap,
               QString("3D IFS viewer\nversion %1").arg(SUITE_VERSION));
    p.drawText(QRect(20, kHeight - 30, 300, 20), Qt::AlignLeft, "click to close");
    return image;
}

TForm6::TForm6(bool splash, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), splash_(splash)
{
    setObjectName("Form6");
    setWindowTitle("qubex - about");
    setFixedSize(kWidth, kHeight);
    auto* label = new QLabel(this);
    label->setPixmap(QPixmap::fromImage(picture()));
    label->setGeometry(0, 0, kWidth, kHeight);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);

    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (splash_) {
            splash_ = false;
            close();
        }
    });
    timer_.start();
}

void TForm6::mousePressEvent(QMouseEvent*)
{
    close();
}

} // namespace qubex
