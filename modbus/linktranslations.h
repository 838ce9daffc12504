// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef LINKTRANSLATIONS_H
#define LINKTRANSLATIONS_H

class QCoreApplication;

// Russian texts for what Qt shows about a link: its base (socket errors,
// standard buttons), the serial port, and the Modbus library, whose
// translation the program carries itself since Debian ships none. The
// translators belong to `app`. False when qtbase_ru is missing: those texts
// then stay English.
bool installLinkTranslations(QCoreApplication *app);

#endif // LINKTRANSLATIONS_H
