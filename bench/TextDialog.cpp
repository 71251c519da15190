// A second peer of the start-up benchmark: a Qt dialog that shows one line of
// text, and so loads the font database that any text needs.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle("Text");
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel("One line of text"));
    QTimer::singleShot(0, &dialog, &QDialog::accept);
    dialog.exec();
    return 0;
}
