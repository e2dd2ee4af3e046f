#!/usr/bin/env python3
"""Writes resources/history.txt, the change log shown by Help > Version history.

The History of changes dialog puts the resource straight into an edit control, so the file is
UTF-16 little-endian with a byte-order mark and CR LF line ends. Newest version first; each block
is the version, "released " and the date as day.month.year, then one " * " line per change
(continuation lines indented further), and an empty line between blocks.
"""
import os

HISTORY = [
    ('1.7.1', '23.11.2026', [
        'Opening a file that is being rotated no longer shows the old file until the next reload.',
        'The Go to row dialog beeps instead of closing when the number is beyond the',
        '  last row.',
        'Fixed the check mark of Lock autoscrolling getting out of step with the Scroll Lock',
        '  light after switching between applications.',
    ]),
    ('1.7.0', '14.09.2026', [
        'New: the user interface in Slovak.',
        'New: Application settings dialog with the options to minimize into the notification',
        '  area, to close the program with Esc and to remember the window position per file.',
        'F11 can switch to a clean full screen without menu, status bar and scroll bars;',
        '  Shift+F11 gives the classic full screen.',
        'Dialogs use the system font of Windows Vista and later.',
    ]),
    ('1.6.2', '02.05.2026', [
        'Printing no longer loses the last row of a page with large margins.',
        'The status bar keeps its layout on screens with more than 96 dots per inch.',
    ]),
    ('1.6.1', '18.02.2026', [
        'Fixed a crash when a file was truncated while it was being loaded.',
        'The update check reports a refused connection instead of waiting silently.',
    ]),
    ('1.6.0', '30.10.2025', [
        'New: printing of all rows or of the selected rows, with page setup.',
        'New: Ctrl and the mouse wheel change the font size.',
        'The window position is remembered in a stream of the watched file itself.',
    ]),
    ('1.5.0', '06.06.2025', [
        'New: charsets UTF-7, UTF-16 and UTF-32, both byte orders, and detection of the',
        '  byte order mark.',
        'New: Restrict empty lines hides empty rows and shows a run of them as one.',
        'Tabs are expanded to the next multiple of eight columns.',
    ]),
    ('1.4.0', '12.12.2024', [
        'New: File type associations dialog for .log and .txt files and the "Watch file as',
        '  log..." command in the Explorer context menu.',
        'New: the program checks for updates every three days; this can be switched off in',
        '  the Help menu.',
    ]),
    ('1.3.0', '21.05.2024', [
        'New: the user interface in Czech.',
        'New: History menu with the last ten opened files.',
        'A file that is already shown in another window only brings that window forward.',
    ]),
    ('1.2.0', '09.11.2023', [
        'New: Find and Find next, with whole words and match case.',
        'New: Go to row; a click on the row number in the status bar opens it as well.',
        'Copying selected rows puts each row on its own line in the clipboard.',
    ]),
    ('1.1.0', '27.04.2023', [
        'New: Pause stops adding rows while the file keeps growing.',
        'New: Scroll Lock holds the view in place while new rows arrive.',
        'New: Erase content empties the watched file after a confirmation.',
    ]),
    ('1.0.0', '15.01.2023', [
        'First public version: watches one file, shows its tail and follows what is appended.',
        'Limits for the loaded data and the number of rows kept in the view.',
    ]),
]


def compose():
    blocks = []
    for version, date, changes in HISTORY:
        lines = [version, 'released ' + date]
        for change in changes:
            if change.startswith('  '):
                lines.append('   ' + change)  # continuation, indented under the text
            else:
                lines.append(' * ' + change)
        blocks.append('\r\n'.join(lines))
    return '\r\n\r\n'.join(blocks) + '\r\n'


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    path = os.path.join(root, 'resources', 'history.txt')
    with open(path, 'wb') as f:
        f.write('\ufeff'.encode('utf-16-le') + compose().encode('utf-16-le'))


if __name__ == '__main__':
    main()
