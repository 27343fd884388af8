"""The include check against copies of this checkout's layers: the real
layering passes, and each kind of break is caught and named."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
CHECK = os.path.join(ROOT, "scripts", "check_includes.py")
LAYER_TOPS = ["platform", "src", "cef", "host"]


class CheckIncludesTest(unittest.TestCase):
    def setUp(self):
        self.tree = tempfile.mkdtemp(prefix="check-includes-")
        for top in LAYER_TOPS:
            shutil.copytree(os.path.join(ROOT, top), os.path.join(self.tree, top))

    def tearDown(self):
        shutil.rmtree(self.tree)

    def run_check(self):
        result = subprocess.run([sys.executable, CHECK, "--root", self.tree],
                                capture_output=True, text=True)
        return result.returncode, result.stdout + result.stderr

    def add_line(self, path, line):
        with open(os.path.join(self.tree, path), "a") as f:
            f.write(line + "\n")

    def test_the_checkout_follows_its_rules(self):
        code, output = self.run_check()
        self.assertEqual(code, 0, output)

    def test_an_include_upwards_is_named(self):
        self.add_line("src/common/log.cc", '#include "src/app/process_global.h"')
        code, output = self.run_check()
        self.assertEqual(code, 1)
        self.assertIn('src/common/log.cc:', output)
        self.assertIn('includes "src/app/process_global.h": no rule allows it '
                      'in src/common/DEPS', output)

    def test_product_code_cannot_reach_the_runtime_or_v8(self):
        self.add_line("src/bridge/helper_window.cc", '#include "cef/runtime/render_runtime.h"')
        self.add_line("src/values/json_text.cc", "#include <v8.h>")
        code, output = self.run_check()
        self.assertEqual(code, 1)
        self.assertIn('includes "cef/runtime/render_runtime.h"', output)
        self.assertIn('src/values/json_text.cc', output)
        self.assertIn('includes "<v8>"', output)

    def test_cef_headers_resolve_to_cef_include(self):
        self.add_line("host/window/host_window.cc", '#include "include/cef_v8.h"')
        code, output = self.run_check()
        self.assertEqual(code, 1)
        self.assertIn('includes "cef/include/cef_v8.h"', output)

    def test_a_minus_rule_beats_a_shorter_plus_rule(self):
        deps = os.path.join(self.tree, "src/channel/DEPS")
        with open(deps) as f:
            text = f.read()
        with open(deps, "w") as f:
            f.write(text.replace('"+src/bridge",',
                                 '"+src/bridge",\n    "-src/bridge/helper_window.h",'))
        self.add_line("src/channel/page_execution.cc", '#include "src/bridge/helper_window.h"')
        code, output = self.run_check()
        self.assertEqual(code, 1)
        self.assertIn("forbidden by '-src/bridge/helper_window.h'", output)

    def test_a_malformed_rules_file_is_refused(self):
        self.add_line("src/channel/DEPS", 'include_rules += ["-src/bridge"]')
        code, output = self.run_check()
        self.assertEqual(code, 2)
        self.assertIn("src/channel/DEPS", output)
        self.assertIn("only assignments are allowed", output)

    def test_a_layer_without_build_file_or_rules_fails(self):
        os.remove(os.path.join(self.tree, "src/bridge/CMakeLists.txt"))
        os.remove(os.path.join(self.tree, "cef/ipc/DEPS"))
        code, output = self.run_check()
        self.assertEqual(code, 1)
        self.assertIn("src/bridge: layer has no CMakeLists.txt", output)
        self.assertIn("cef/ipc: layer has no DEPS", output)


if __name__ == "__main__":
    unittest.main()
