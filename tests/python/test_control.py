"""The browser control from Python, driven as a person would, and its export."""
import os
import xml.etree.ElementTree as ET

import pytest

import qvrRegistryBrowser as q

HKCU = "_&H80000001"


@pytest.fixture
def data():
    reg = q.qvrClsRegistryObject()
    h = reg.OpenKey(q.HKeyCurrentUser, "Software\\PyPick\\Tools")
    reg.SetValue(h, "Path", "/opt/pick")
    reg.SetValue(h, "Count", 300)
    top = reg.OpenKey(q.HKeyCurrentUser, "Software\\PyPick")
    reg.SetValue(top, "Version", "1.0")
    return reg


def child(ui, parent, text):
    for key in ui.NodeChildren(parent):
        if ui.NodeText(key) == text:
            return key
    raise KeyError(text)


def open_path(ui, *texts):
    node = HKCU
    ui.Expand(node)
    for text in texts:
        node = child(ui, node, text)
        ui.Expand(node)
    return node


def test_picking_session_and_export(data):
    # What a session picks and exports: tests/control and control_binding_test.
    ctl = q.ctlRegistry()
    ui = q.query_interface(ctl, "_ctlRegistryUI")
    clicks = []
    cookie = q.advise(ctl, evtSingleClick=clicks.append)
    assert ui.ReadProperties("SelectionType=Long:1\n")
    assert ctl.SelectionType == q.MultiSelect
    assert ctl.Show() is True

    pick = open_path(ui, "Software", "PyPick")
    tools = child(ui, pick, "Tools")
    ui.Click(pick)
    assert ui.StatusText == "HKEY_CURRENT_USER\\Software\\PyPick"
    assert ui.CheckRow(ui.FindRow("Version"), True)
    ui.Click(tools)
    for name in ("Count", "Path"):
        assert ui.CheckRow(ui.FindRow(name), True)
    assert clicks == [False, True, True]

    doc = q.DOMDocument()
    assert doc.loadXML("<Wizard/>")
    ctl.GetSelectedDOM(doc)
    root = ET.fromstring(doc.xml)
    names = [(p.get("key"), p.get("name"), p.get("type"), p.get("value"))
             for p in root.iter("Properties")]
    assert names == [("Software\\PyPick", "Version", "REG_SZ", "1.0"),
                     ("Software\\PyPick\\Tools", "Count", "REG_DWORD", "12C"),
                     ("Software\\PyPick\\Tools", "Path", "REG_SZ", "/opt/pick")]
    q.unadvise(ctl, cookie)


def test_double_click_properties_and_errors(data):
    ctl = q.ctlRegistry()
    ui = q.query_interface(ctl, "_ctlRegistryUI")
    doubles = []
    q.advise(ctl, evtDoubleClick=lambda: doubles.append(1))
    ctl.Show()
    tools = open_path(ui, "Software", "PyPick", "Tools")
    ui.Click(tools)
    ui.ClickRow(ui.FindRow("Path"))
    ui.DoubleClickList()
    assert doubles == [1]  # what single selection exports is tested in C++

    ctl.DividerPosition = 1200
    assert ctl.DividerPosition == 1200
    with pytest.raises(TypeError):
        q.query_interface(q.qvrCollection(), "_ctlRegistryUI")


def test_wine_prefix_machines_are_shown(tmp_path):
    prefix = tmp_path / "prefix"
    prefix.mkdir()
    (prefix / "system.reg").write_text(
        'WINE REGISTRY Version 2\n\n[Software\\\\Wine] 1600000000\n"Version"="win10"\n')
    with open(os.environ["QVR_MACHINES"], "a") as table:
        table.write("pywine = wine:%s\n" % prefix)
    ctl = q.ctlRegistry()
    ui = q.query_interface(ctl, "_ctlRegistryUI")
    assert ctl.Show("pywine") is True
    hklm = "_&H80000002"
    ui.Expand(hklm)
    software = child(ui, hklm, "Software")
    ui.Expand(software)
    ui.Click(child(ui, software, "Wine"))
    assert ui.Row(ui.FindRow("Version")) == ["Version", "REG_SZ", "win10"]
    assert ctl.Show("\\\\not-in-the-table") is False


def test_layout_images_and_selection_copy(data):
    ctl = q.ctlRegistry()
    ui = q.query_interface(ctl, "_ctlRegistryUI")
    ui.ReadProperties("SelectionType=Long:1\n")
    ui.Resize(6000, 5000)
    bar = ui.PaneRect("pcVSplit")
    ui.SplitterMouseDown(0)
    dragging = ui.SplitterColor
    ui.SplitterMouseMove(-600)
    ui.SplitterMouseUp(0)
    assert dragging != ui.SplitterColor
    tree, moved, lst = (ui.PaneRect(n) for n in ("tvReg", "pcVSplit", "lvValues"))
    assert moved[1] == bar[1] - 600 and tree[3] == moved[1] + moved[3] == lst[1]
    assert ui.ColumnWidth(3) == lst[2] - ui.ColumnWidth(2)
    assert ui.PaneRect("sbStatusBar")[1] == 5000 - ui.PaneRect("sbStatusBar")[3]

    ctl.Show()
    tools = open_path(ui, "Software", "PyPick", "Tools")
    ui.Click(tools)
    ui.CheckRow(ui.FindRow("Path"), True)
    assert ui.NodeSelectedImage(child(ui, HKCU, "Software")) == "SELECTOPEN"
    assert ui.RowIcon(ui.FindRow("Path")) in ui.ImageKeys
    assert ui.MousePointer == 0
    clicks = []
    q.advise(ctl, evtSingleClick=clicks.append)
    ui.ClickEmptyList()
    assert len(clicks) == 1
    picked = ui.Selection
    doc = q.DOMDocument()
    doc.loadXML("<Pick/>")
    ctl.GetSelectedDOM(doc)
    assert picked.Count == 1 and ui.Selection.Count == 0


def test_listing_re_entered_from_the_pump_hook():
    reg = q.qvrClsRegistryObject()
    big = reg.OpenKey(q.HKeyCurrentUser, "Software\\PyBig")
    for i in range(1100):
        reg.CloseKey(reg.OpenKey(big, "K%d" % i))
    reg.CloseKey(reg.OpenKey(q.HKeyCurrentUser, "Software\\PyOther\\Sub"))
    items = []
    reg.SetDoEventsHook(lambda: items.append(1))
    reg.EnumKeys(big, False, True)
    assert len(items) == 1100

    ctl = q.ctlRegistry()
    ui = q.query_interface(ctl, "_ctlRegistryUI")
    ctl.Show()
    software = open_path(ui, "Software")
    other = child(ui, software, "PyOther")
    ui.Click(software)
    seen = []

    def pump():
        seen.append((ui.StatusText, ui.Expand(other), ui.NodeExpanded(other)))
        ui.Click(other)
        ctl.Refresh()
    ui.SetMessagePumpHook(pump)
    ui.Expand(child(ui, software, "PyBig"))
    ui.SetMessagePumpHook(None)
    # Busy: the expansion is undone, the click and the refresh change nothing.
    assert [s for s, _, expanded in seen] == ["Enumerating Software\\PyBig"] * 2
    assert not any(expanded for _, _, expanded in seen)
    assert len(ui.NodeChildren(child(ui, software, "PyBig"))) == 1100
    assert ui.StatusText == "HKEY_CURRENT_USER\\Software"


def _reg(*args, env=None, check=True):
    import subprocess
    program = os.path.join(os.environ["QVR_TEST_BIN_DIR"], "tools", "qvr-reg", "qvr-reg")
    run = subprocess.run([program, *args], capture_output=True, text=True, env=env)
    assert not check or run.returncode == 0, run.stderr
    return run


def test_pick_as_reg_file_recreates_the_pick_elsewhere(tmp_path):
    top = "HKLM\\SOFTWARE\\PyReg"
    for args in (["/v", "s", "/d", "Grüße"], ["/v", "b", "/t", "REG_BINARY", "/d", "00ff"],
                 ["/v", "m", "/t", "REG_MULTI_SZ", "/d", "a\\0b"],
                 ["/v", "keep", "/t", "REG_DWORD", "/d", "7"]):
        _reg("add", top, *args, "/f")
    for args in (["/v", "q", "/t", "REG_QWORD", "/d", "0x100000000"],
                 ["/v", "odd", "/t", "0x20000", "/d", "0102"], ["/ve", "/d", "dflt"]):
        _reg("add", top + "\\Sub", *args, "/f")
    _reg("add", top + "\\Empty")

    ctl = q.ctlRegistry()
    ui = q.query_interface(ctl, "_ctlRegistryUI")
    assert ui.ReadProperties("SelectionType=Long:1\n")
    assert ctl.Show() is True
    ui.Expand("_&H80000002")
    software = child(ui, "_&H80000002", "SOFTWARE")
    ui.Expand(software)
    pyreg = child(ui, software, "PyReg")
    ui.Expand(pyreg)
    ui.Click(pyreg)
    for name in ("s", "b", "m"):
        assert ui.CheckRow(ui.FindRow(name), True)
    sub, empty = child(ui, pyreg, "Sub"), child(ui, pyreg, "Empty")
    ui.Click(sub)
    for name in ("q", "odd", "(default)"):
        assert ui.CheckRow(ui.FindRow(name), True)
    ui.CheckNode(empty, True)
    multiple = str(tmp_path / "multiple.reg")
    ui.SaveSelectedReg(multiple)
    text = open(multiple, "rb").read().decode("utf-16")
    assert [line for line in text.splitlines() if line.startswith("[")] == [
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\PyReg]", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\PyReg\\Empty]",
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\PyReg\\Sub]"]

    # Imported into a fresh store, the pick is there byte for byte: the two
    # trees differ only by the value left unpicked.
    fresh = str(tmp_path / "fresh.sqlite")
    env = dict(os.environ, QVR_REGISTRY=fresh)
    _reg("import", multiple, env=env)
    with open(os.environ["QVR_MACHINES"], "a") as table:
        table.write("fresh = %s\n" % fresh)
    run = _reg("compare", top, "\\\\fresh\\" + top, "/s", check=False)
    assert run.returncode == 2, run.stderr
    assert run.stdout.splitlines()[0] == (
        "< Value: HKEY_LOCAL_MACHINE\\SOFTWARE\\PyReg  keep  REG_DWORD  0x7")
    assert run.stdout.splitlines()[2] == "Result Compared: Different"

    # Single selection: the value clicked last, alone in its key's section.
    ctl.SelectionType = q.SingleSelect
    ui.Click(sub)
    ui.ClickRow(ui.FindRow("odd"))
    single = str(tmp_path / "single.reg")
    ui.SaveSelectedReg(single)
    lines = open(single, "rb").read().decode("utf-16").splitlines()
    assert lines[2:5] == ["[HKEY_LOCAL_MACHINE\\SOFTWARE\\PyReg\\Sub]", "\"odd\"=hex(20000):01,02",
                          ""], lines
    # A value gone since it was picked fails, naming it, and writes nothing.
    _reg("delete", top + "\\Sub", "/v", "odd", "/f")
    with pytest.raises(Exception, match="gone from the registry"):
        ui.SaveSelectedReg(str(tmp_path / "gone.reg"))
    assert not os.path.exists(tmp_path / "gone.reg")
