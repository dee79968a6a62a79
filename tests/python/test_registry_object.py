"""qvrClsRegistryObject and its object model from Python, end to end."""
import datetime
import decimal
import os
import pathlib
import subprocess
import textwrap

import pytest

import qvrRegistryBrowser as q


@pytest.fixture
def reg():
    return q.qvrClsRegistryObject()


@pytest.fixture
def key(reg, request):
    h = reg.OpenKey(q.HKeyCurrentUser, "Software\\PyTest\\" + request.node.name)
    assert h > 0
    yield h
    reg.CloseKey(h)


def test_constants_at_module_level():
    assert q.HKeyClassesRoot == -0x80000000
    assert q.HKeyCurrentUser == -0x7FFFFFFF
    assert q.HKeyCurrentConfig == q.StandardRegistryKeys.HKeyCurrentConfig
    assert (q.rdNone, q.rdString, q.rdBinary, q.rdDWord, q.rdMultiSZ) == (0, 1, 3, 4, 7)
    assert q.rdDWordBigEndian == 5 and q.rdFullResourceDescriptor == 9
    assert (q.SingleSelect, q.MultiSelect, q.Registry, q.SystemPolicy) == (0, 1, 0, 1)
    assert q.eSelectionType.MultiSelect == 1


def test_every_host_type_written_and_read_back(reg, key):
    # One value of each Python kind; the type rules: tests/reglib.
    cases = [
        ("text", "hello", q.rdString, "hello"), ("long_big", 300, q.rdDWord, 300),
        ("integer", q.Integer(-2), q.rdDWord, -2), ("byte", q.Byte(255), q.rdBinary, "FF "),
        ("true", True, q.rdBinary, "01 "),
        ("double", 2.5, q.rdString, None), ("single", q.Single(0.5), q.rdString, None),
        ("currency", q.Currency("12.3456"), q.rdString, None),
        ("date", q.Date(datetime.datetime(2024, 2, 29, 6, 0)), q.rdString, None),
        ("multi", ["a", "b", ""], q.rdMultiSZ, "a"),
    ]
    for name, value, rtype, expected in cases:
        assert reg.SetValue(key, name, value) == 0, name
        kind = q.Ref()
        got = reg.GetValue(key, name, lpType=kind)
        assert kind.value == rtype, name
        if expected is None:
            assert isinstance(got, str) and got, name  # the locale's text form
        else:
            assert got == expected, name
    # Values with no registry form write nothing.
    for name, value in [("null", q.Null), ("nothing", None)]:
        assert reg.SetValue(key, name, value) == 0
        assert reg.GetValue(key, name) is None
    assert reg.GetMultiSZ("a\0b\0\0") == ["a", "b", "", ""]
    # A NUL inside a name is refused (87), never cut short to another name.
    assert reg.SetValue(key, "nul", "kept") == 0
    assert reg.SetValue(key, "nul\0in", "other") == 87
    assert reg.GetValue(key, "nul\0in", "default") == "default"
    assert reg.DeleteValue(key, "nul\0in") == 87
    assert reg.OpenKey(key, "sub\0key") == -1
    assert reg.GetValue(key, "nul") == "kept"


def test_wrappers_round_trip_values():
    assert q.Integer(5).value == 5 and int(q.Byte(7)) == 7
    assert q.Currency(1.5).value == decimal.Decimal("1.5000")
    assert q.Date(0.0).value == datetime.datetime(1899, 12, 30)
    assert q.Date(datetime.date(2000, 1, 1)).serial == 36526.0
    assert q.Null == q.Null and not q.Null
    with pytest.raises(ValueError):
        q.Integer(40000)
    with pytest.raises(ValueError):
        q.Byte(256)


def test_members_as_python_attributes_calls_and_indexes(reg):
    # The table's own rules are tested in C++; here, how Python reaches them.
    h1 = reg.OpenKey(q.HKeyCurrentUser, "Software\\PyTest\\Table", fMustExist=False, vntIndexKey="t")
    assert reg.item("t") == h1 and reg["T"] == h1 and reg("t") == h1
    with pytest.raises(AttributeError):
        reg.Count = 3
    with pytest.raises(AttributeError):
        reg.NoSuchMember
    with pytest.raises(TypeError):
        reg.OpenKey(q.HKeyCurrentUser, "x", nonsense=1)
    with pytest.raises(q.AutomationError) as err:
        reg.OpenKey(q.HKeyCurrentUser)
    assert err.value.number == 449


def test_enumeration_with_events_and_collections(reg, key):
    reg.OpenKey(key, "beta\\child")
    reg.OpenKey(key, "Alpha")
    reg.SetValue(key, "one", "1")
    reg.SetValue(key, "two", 2000)

    heard = []

    class Handler:
        def KeyEnumerated(self, name, has_children):
            heard.append((name, has_children))

        def OnValueEnumerated(self, value):
            heard.append((value.ValueName, value.Value, value.TypeWord(True)))

    cookie = q.advise(reg, Handler())
    keys = reg.EnumKeys(key, True)
    values = reg.EnumValues(key, fRaiseEvents=True)
    assert heard == [("Alpha", False), ("beta", True), ("", None, "String"),
                     ("one", "1", "String"), ("two", 2000, "DWord")]
    assert len(keys) == 2 and [k.KeyName for k in keys] == ["Alpha", "beta"]
    assert keys[2].HadChildrenOnEnum and keys[2].Parent == keys
    assert [v.ValueName for v in values] == ["", "one", "two"]

    q.unadvise(reg, cookie)
    with pytest.raises(ValueError):
        q.unadvise(reg, cookie)

    # An exception in a handler reaches the caller of the enumeration.
    def boom(name, has_children):
        raise KeyError(name)

    cookie = q.advise(reg, KeyEnumerated=boom)
    with pytest.raises(KeyError):
        reg.EnumKeys(key, True)
    q.unadvise(reg, cookie)
    with pytest.raises(TypeError):
        q.advise(reg, NoSuchEvent=print)
    assert reg.EnumKeys(reg.OpenKey(key, "Alpha")) is None  # Nothing is None


def test_selection_classes_and_flags():
    c = q.qvrCollection()
    assert len(c) == 0 and list(c) == []
    assert q.qvrSelectedData().Count == 0
    with pytest.raises(TypeError):
        q.qvrClsKeys()
    # Predeclared classes answer members without an explicit object.
    assert q.qvrClsRegistryObject.MachineName == ""


def test_text_that_is_not_utf8_arrives_byte_by_byte(tmp_path):
    # REG_QWORD and REG_NONE data come back as text of their bytes, through
    # GetValue and through the value objects.
    reg_file = tmp_path / "bytes.reg"
    reg_file.write_bytes(b'Windows Registry Editor Version 5.00\r\n\r\n'
                         b'[HKEY_CURRENT_USER\\Software\\PyBytes]\r\n'
                         b'"Q"=hex(b):ff,00,00,00,00,00,00,e9\r\n"N"=hex(0):ff,41\r\n'
                         b'"U"="\xc3\xa9t\xc3\xa9"\r\n')
    qvr_reg = os.path.join(os.environ["QVR_TEST_BIN_DIR"], "tools", "qvr-reg", "qvr-reg")
    subprocess.run([qvr_reg, "import", str(reg_file)], check=True, capture_output=True)
    reg = q.qvrClsRegistryObject()
    h = reg.OpenKey(q.HKeyCurrentUser, "Software\\PyBytes")
    assert reg.GetValue(h, "Q") == "\xff\0\0\0\0\0\0\xe9"
    assert reg.GetValue(h, "U") == "\xe9t\xe9"  # valid UTF-8 as before
    values = {v.ValueName: v.Value for v in reg.EnumValues(h)}
    assert (values["N"], values["U"]) == ("\xffA", "\xe9t\xe9")


def test_readme_example_runs_as_printed(capsys):
    # The indented block of the README's Python section, run as it stands.
    readme = pathlib.Path(__file__).parents[2] / "README.md"
    section = readme.read_text().split("## Python", 1)[1]
    lines = section.split("\n\n    ", 1)[1].split("\n\n", 1)[0].split("\n")
    exec(textwrap.dedent("    " + "\n".join(lines)), {})
    assert capsys.readouterr().out == "300 4\n"
