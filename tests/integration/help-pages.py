#!/usr/bin/python3
"""The help pages against the program: every menu item's caption (the menu bar, its
submenus and the tray menu, as the forms define them) appears in the help, and every link
of the pages, the contents and the index leads to a page that exists (and to an anchor that
exists). Every page is compiled into the CHM and installed with the HTML.

  help-pages.py HELP-FOLDER FORMS-FOLDER
"""
import html
import re
import sys
import xml.etree.ElementTree as ET
from pathlib import Path


def menu_captions(ui_file):
    """Captions of the actions and menus of a form, as shown: "新建(&N)" reads "新建(N)"."""
    root = ET.parse(ui_file).getroot()
    captions = set()
    for element in root.iter():
        cls = element.get("class")
        if element.tag == "action" or (element.tag == "widget" and cls == "QMenu"):
            for prop in element.findall("property"):
                if prop.get("name") in ("text", "title"):
                    text = prop.findtext("string") or ""
                    if text and text != "-" and element.get("name") != "mnuTray":
                        captions.add(text.replace("&", "").rstrip("…."))
    return captions


def page_text(page):
    text = re.sub(r"<[^>]*>", "", page.read_text(encoding="utf-8"))
    return html.unescape(text)


def main(help_dir, forms_dir):
    help_dir, forms_dir = Path(help_dir), Path(forms_dir)
    problems = []
    pages = sorted(help_dir.glob("*.html"))
    all_text = "\n".join(page_text(p) for p in pages)

    captions = menu_captions(forms_dir / "frmMain.ui")
    if len(captions) < 15:
        problems.append(f"only {len(captions)} captions found in the forms: {sorted(captions)}")
    for caption in sorted(captions):
        if caption not in all_text:
            problems.append(f"the caption “{caption}” appears in no help page")

    anchors = {p.name: set(re.findall(r'(?:id|name)="([^"]+)"', p.read_text(encoding="utf-8")))
               for p in pages}
    links = []
    for page in pages:
        for target in re.findall(r'(?:href|src)="([^"]+)"', page.read_text(encoding="utf-8")):
            links.append((page.name, target))
    for listing in ("contents.hhc", "index.hhk"):
        for target in re.findall(r'name="Local" value="([^"]+)"',
                                 (help_dir / listing).read_text(encoding="utf-8")):
            links.append((listing, target))
    for source, target in links:
        if re.match(r"^[a-z]+:", target):
            continue  # http:, mailto: leave the help
        file, _, anchor = target.partition("#")
        file = file or source
        if not (help_dir / file).is_file():
            problems.append(f"{source}: the link {target} leads nowhere")
        elif anchor and anchor not in anchors.get(file, set()):
            problems.append(f"{source}: the link {target} names an anchor {file} lacks")

    project = (help_dir / "record.hhp").read_text(encoding="utf-8")
    build = (help_dir / "CMakeLists.txt").read_text(encoding="utf-8")
    for page in pages:
        if not re.search(rf"^{re.escape(page.name)}$", project, re.M):
            problems.append(f"{page.name} is not among record.hhp's [FILES]")
        if not re.search(rf"\b{re.escape(page.name)}\b", build):
            problems.append(f"{page.name} is not among help/CMakeLists.txt's help_sources")

    if problems:
        print("\n".join(problems), file=sys.stderr)
        return 1
    print(f"{len(captions)} captions found in {len(pages)} pages; {len(links)} links resolve")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
