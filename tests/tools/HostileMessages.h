#pragma once
// Message files that are hard on the extract and import tools, and what their tests measure: the growth
// of resident memory, with the processor time each step may take.
#include <QByteArray>
#include <functional>

namespace toolstest {

// A message with a text body and attachments parts all named "same.txt", the i-th holding the text of i.
QByteArray SameNamed(int attachments);

// A message with an HTML body that shows that many pictures of its own, all named "pic.png".
QByteArray InlinePictures(int pictures);

// A UTF-8 text body of LargeTextLines() lines, and the message that holds it.
QByteArray LargeTextLines();
QByteArray LargeTextMessage();

// Runs work and returns the growth of the peak resident memory in bytes; the processor time it took must
// stay within a second or two here, some times that under the sanitizers. A name probed against every
// file made before (ten thousand of one name) costs minutes. Waits for a busy disk are not processor time.
qint64 Measured(const std::function<void()>& work);

} // namespace toolstest
