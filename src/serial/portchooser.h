#pragma once

namespace pellix {

class LockedComboBox;
class SerialLink;

// Fills a port chooser with "COM1" .. "COM<count>", each entry's tooltip naming the device it
// opens, and shows "COM1" with no entry chosen.
void fillPortChooser(LockedComboBox& chooser, const SerialLink& link, int count);

}  // namespace pellix
