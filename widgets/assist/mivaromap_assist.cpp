// Help popups of the main window.
#include "app/mivaromap.h"

// The help popups arrive with their own feature; until then nothing is open,
// so there is nothing to close.
void MivaroMap::onUserAssistWindow() {}
void MivaroMap::onAssistClose() {}
void MivaroMap::on_btnHelp1_clicked() {}
void MivaroMap::on_btnHelp2_clicked() {}
void MivaroMap::on_btnHelp3_clicked() {}
