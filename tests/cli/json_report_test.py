#!/usr/bin/python3
# korvane-cli --json: every line of check, repair, convert and generate output is valid
# against docs/korvane-cli.schema.json, the fields say what the text report says, and a
# name that is no valid UTF-8 comes back byte for byte.
#   json_report_test.py KORVANE_CLI SCHEMA
import json, os, subprocess, sys, tempfile, urllib.parse
import jsonschema

cli, schema = sys.argv[1], json.load(open(sys.argv[2]))

def run(*args):
    out = subprocess.run([cli, *args, "--json"], capture_output=True).stdout.decode()
    objects = [json.loads(line) for line in out.splitlines()]
    for o in objects:
        jsonschema.validate(o, schema)
    return objects

def image(length, stated=92160, sector=128):
    return bytes([0x96, 0x02, stated // 16 & 0xFF, stated // 16 >> 8, sector & 0xFF, sector >> 8,
                  0, 0]) + bytes(length - 8)

with tempfile.TemporaryDirectory() as d:
    d = d.encode()
    for name, data in ((b"GOOD.ATR", image(92176)), (b"caf\xe9.atr", image(92196)),
                       (b"LONG.ATR", image(1040, 1024, 256)),
                       (b"GAME.XEX", b"\xff\xff\x00\x20\x7f\x20" + bytes(128))):
        open(os.path.join(d, name), "wb").write(data)
    bad, good, long, summary = run("check", d)
    assert (long["layout"], long["sizes"]["sector"]) == ("long", 256), long
    assert (good["name"], good["sizes"], good["result"]) == (
        "GOOD.ATR", {"file": 92176, "header": 92160, "sector": 128}, "pass"), good
    assert bad["findings"] == [{"code": "length-differs-from-header", "text": "ERROR: Physical "
                                "file size is 20 bytes too large according to header information"}]
    assert urllib.parse.unquote_to_bytes(bad["name_bytes"]) == b"caf\xe9.atr", bad
    assert summary["counts"] == {"valid_atr_files": 2, "invalid_atr_files": 1}, summary
    repaired = run("repair", "--fix-length", "file", d)[0]
    written = [urllib.parse.unquote_to_bytes(w["name_bytes"]) for w in repaired["written"]]
    assert (repaired["result"], written) == ("repaired", [b"caf\xe9_org.atr", b"caf\xe9.atr"])
    assert set(written) <= set(os.listdir(d)), os.listdir(d)
    converted = run("convert", d)[1]
    assert (converted["result"], converted["written"]) == (
        "converted", [{"what": "image", "name": "GAME.ATR"}]), converted
    generated = run("generate", "--name", "NEW", d)
    assert [o["result"] for o in generated] == ["generated"], generated
