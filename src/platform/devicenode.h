#pragma once

#include <QByteArray>
#include <QString>

namespace pellix {

// What a port's path stands for on the system right now: the node it resolves to (through any
// links), for a character device its kind (the major device number), and when the path is a
// link, which link it is (its inode and change time: a link made or pointed anew differs).
struct DeviceNode {
    QByteArray node;
    bool character = false;
    unsigned major = 0;
    QByteArray link;
};

DeviceNode deviceNode(const QString& path);

// Whether the device now at a lost port's path may be the one that was open there, so the port
// may reopen by itself: a character device of the same kind. Pseudo-terminal numbers are handed
// out afresh, so one at the very node that vanished, reached the same way (the same link, or no
// link), belongs to someone else; a replugged pseudo-terminal comes back behind a link that its
// owner pointed anew. A device that was not a character device we could look at (nothing to
// compare with) is not judged.
bool mayBeTheSameDevice(const DeviceNode& opened, const DeviceNode& now);

}  // namespace pellix
