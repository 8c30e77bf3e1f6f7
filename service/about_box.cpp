#include "about_box.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

void ShowAboutBox(QWidget* parent) {
    QDialog box(parent);
    box.setWindowTitle(QStringLiteral("关于 ZanDriverSrv"));
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(new QLabel(QStringLiteral("ZanDriverSrv，1.0 版"), &box));
    layout->addWidget(new QLabel(QStringLiteral("Palmkey button service"), &box));
    auto* buttons = new QDialogButtonBox(&box);
    QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    QObject::connect(ok, &QPushButton::clicked, &box, &QDialog::accept);
    layout->addWidget(buttons);
    box.exec();
}
