// make_icons LOGO OUTPUT_FOLDER NAME SIZE...: the desktop icons drawn from the
// club logo. The white ground around the shield becomes transparent, the
// shield is centred on a square and written as OUTPUT_FOLDER/<S>x<S>/apps/NAME.png
// for each size S, the layout of share/icons/hicolor/.
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTextStream>
#include <algorithm>
#include <vector>

namespace {

// Near-white pixels reached from the border without crossing the drawing.
// Their alpha falls with their distance from white, so the edge stays smooth.
QImage clearGround(const QImage& logo) {
    QImage image = logo.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();
    auto whiteness = [&](int x, int y) {
        const QRgb p = image.pixel(x, y);
        return std::min({qRed(p), qGreen(p), qBlue(p)});
    };
    std::vector<char> seen(static_cast<size_t>(w) * h, 0);
    std::vector<QPoint> todo;
    for (int x = 0; x < w; ++x) todo.insert(todo.end(), {QPoint(x, 0), QPoint(x, h - 1)});
    for (int y = 0; y < h; ++y) todo.insert(todo.end(), {QPoint(0, y), QPoint(w - 1, y)});
    constexpr int kGround = 200;  // lighter than this in every channel: the ground
    while (!todo.empty()) {
        const QPoint p = todo.back();
        todo.pop_back();
        if (p.x() < 0 || p.y() < 0 || p.x() >= w || p.y() >= h) continue;
        char& s = seen[static_cast<size_t>(p.y()) * w + p.x()];
        if (s) continue;
        s = 1;
        const int white = whiteness(p.x(), p.y());
        if (white < kGround) continue;
        const int alpha = std::clamp((255 - white) * 255 / (255 - kGround), 0, 255);
        const QRgb c = image.pixel(p);
        image.setPixel(p, qRgba(qRed(c), qGreen(c), qBlue(c), alpha));
        todo.insert(todo.end(), {QPoint(p.x() + 1, p.y()), QPoint(p.x() - 1, p.y()),
                                 QPoint(p.x(), p.y() + 1), QPoint(p.x(), p.y() - 1)});
    }
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() < 5) {
        err << "usage: make_icons LOGO OUTPUT_FOLDER NAME SIZE...\n";
        return 2;
    }
    QImage logo(args[1]);
    if (logo.isNull()) {
        err << "make_icons: cannot read " << args[1] << "\n";
        return 1;
    }
    const QImage shield = clearGround(logo);
    const int side = std::max(shield.width(), shield.height());
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    {
        QPainter painter(&square);
        painter.drawImage((side - shield.width()) / 2, (side - shield.height()) / 2, shield);
    }
    for (qsizetype i = 4; i < args.size(); ++i) {
        const int size = args[i].toInt();
        if (size <= 0) {
            err << "make_icons: bad size " << args[i] << "\n";
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args[2]).arg(size);
        const QString file = folder + QLatin1Char('/') + args[3] + QStringLiteral(".png");
        const QImage icon = square.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_ARGB32);
        if (!QDir().mkpath(folder) || !icon.save(file, "PNG")) {
            err << "make_icons: cannot write " << file << "\n";
            return 1;
        }
    }
    return 0;
}
