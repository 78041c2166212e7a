#!/usr/bin/env python3
"""Writes the window tests' language file: the program's English file with a
few texts of its own, so that the tests see that texts come from the file.

    make-test-language.py ENGLISH_FILE OUTPUT_FILE
"""

import sys
import xml.etree.ElementTree as ET

# element path below the root -> translation (as the file holds it, escapes kept)
TEXTS = {
    "STRINGS/WINDOWTITLE": "Velmora TAVRIN Assistent",
    "IDD_WIZ97_WELCOME/TITLE": "Willkommen beim TAVRIN-Assistenten",
    "IDD_WIZ97_WELCOME/COPYRIGHT": "Hergestellt von Velmora %s %n",
    "IDD_ABOUTBOX": "Über Velmora TAVRIN",
    "IDD_ABOUTBOX/ABOUT_TXT": "TAVRIN Version %d.%d.%d.%d %n %s\\nVelmora",
}


def main():
    tree = ET.parse(sys.argv[1])
    root = tree.getroot()
    for path, text in TEXTS.items():
        element = root.find(path)
        if element is None:
            sys.exit(f"make-test-language: {path} is not in {sys.argv[1]}")
        element.set("name", text)
    tree.write(sys.argv[2], encoding="utf-8", xml_declaration=True)


if __name__ == "__main__":
    main()
