// The peer of the start-up benchmark: a bare Qt dialog, shown and closed.
#include <QApplication>
#include <QDialog>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle("Bare");
    QTimer::singleShot(0, &dialog, &QDialog::accept);
    dialog.exec();
    return 0;
}
