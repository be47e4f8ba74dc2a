// The floor of the start-up benchmark: a bare Qt Widgets program that constructs its application
// object and ends.
#include <QApplication>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    return 0;
}
