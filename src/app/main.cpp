// Entry point: the application object does all the work of start-up and returns the exit code.
#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return 0;
}
