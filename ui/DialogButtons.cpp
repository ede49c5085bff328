#include "ui/DialogButtons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

DialogButtons MakeDialogButtons(QDialog* dialog, const DialogButtonsLook& look) {
    DialogButtons b;
    b.ok = new QPushButton(look.okText, dialog);
    b.ok->setObjectName(look.okName);
    if (look.okIsDefault)
        b.ok->setDefault(true);
    b.cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    b.cancel->setObjectName(QStringLiteral("CancelButton"));
    b.row = new QHBoxLayout;
    if (!look.apart)
        b.row->addStretch(1);
    b.row->addWidget(b.ok);
    if (look.apart)
        b.row->addStretch(1);
    b.row->addWidget(b.cancel);
    return b;
}
