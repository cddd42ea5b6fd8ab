#!/usr/bin/env python3
"""The mutation runner's own parts: list checking, applying, planting, the copy, generation."""

import contextlib
import os
import pathlib
import subprocess
import sys
import tempfile
import threading
import time
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools" / "mutation"))

import builds  # noqa: E402
import generated  # noqa: E402
import mutation_list  # noqa: E402
import work_tree  # noqa: E402

GOOD = '''
[[mutation]]
id = "one-fault"
build = "linux"
file = "a.cpp"
find = "x < 1"
replace = "x <= 1"
fault = "off by one"
'''


class ListTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.root = pathlib.Path(self.folder.name)
        (self.root / "a.cpp").write_text("if (x < 1) y();\n")
        self.lists = self.root / "lists"
        self.lists.mkdir()

    def tearDown(self):
        self.folder.cleanup()

    def error_of(self, text, name="linux.toml"):
        (self.lists / name).write_text(text)
        with self.assertRaises(mutation_list.ListError) as caught:
            mutation_list.read_lists(self.lists, self.root)
        message = str(caught.exception)
        self.assertNotIn("\n", message)
        return message

    def test_a_good_list_reads(self):
        (self.lists / "linux.toml").write_text(GOOD)
        (mutation,) = mutation_list.read_lists(self.lists, self.root)
        self.assertEqual((mutation.id, mutation.build, mutation.file), ("one-fault", "linux", "a.cpp"))
        self.assertEqual(mutation.origin, "linux.toml, entry 1")

    def test_a_missing_list_is_no_error(self):
        self.assertEqual(mutation_list.read_lists(self.lists, self.root), [])

    def test_bad_entries_are_named_with_file_and_entry(self):
        cases = [
            (GOOD.replace('fault = "off by one"', 'fault = "off by one"\nfaults = "x"'), "unknown key 'faults'"),
            (GOOD.replace('fault = "off by one"\n', ""), "missing field 'fault'"),
            (GOOD.replace('build = "linux"', 'build = "macos"'), "unknown build 'macos'"),
            (GOOD.replace('build = "linux"\n', ""), "missing field 'build'"),
            (GOOD.replace('id = "one-fault"', 'id = "One_Fault"'), "kebab-case"),
            (GOOD.replace('replace = "x <= 1"', "replace = 3"), "field 'replace' must be a string"),
            (GOOD.replace('file = "a.cpp"', 'file = "b.cpp"'), "file 'b.cpp' does not exist"),
            (GOOD.replace('file = "a.cpp"', 'file = "../a.cpp"'), "inside the repository"),
            (GOOD.replace('replace = "x <= 1"', 'replace = "x < 1"'), "nothing would change"),
        ]
        for text, expected in cases:
            with self.subTest(expected=expected):
                message = self.error_of(GOOD.replace("one-fault", "first") + text)
                self.assertIn(str(self.lists / "linux.toml") + ": entry 2", message)
                self.assertIn(expected, message)

    def test_bad_files_are_named(self):
        self.assertIn("not valid TOML", self.error_of("[[mutation]\n"))
        self.assertIn("unknown top-level key 'mutations'", self.error_of(GOOD.replace("[[mutation]]", "[[mutations]]")))

    def test_an_id_is_unique_across_lists(self):
        (self.lists / "linux.toml").write_text(GOOD)
        message = self.error_of(GOOD.replace('"linux"', '"windows"'), "windows.toml")
        self.assertIn("windows.toml: entry 1 (one-fault): id already used in linux.toml, entry 1", message)


class ApplyTest(unittest.TestCase):
    def mutation(self, find):
        return mutation_list.Mutation("m", "linux", "a.cpp", find, "Y", "f", "linux.toml, entry 4")

    def test_find_must_occur_exactly_once(self):
        self.assertEqual(self.mutation("b").apply("abc"), "aYc")
        for text, expected in (("xyz", "find not found in a.cpp"), ("abcb", "find found 2 times in a.cpp")):
            with self.subTest(text=text), self.assertRaises(mutation_list.ApplyError) as caught:
                self.mutation("b").apply(text)
            self.assertIn("linux.toml, entry 4 (m)", str(caught.exception))
            self.assertIn(expected, str(caught.exception))

    def test_every_listed_mutation_applies_to_the_sources(self):
        for mutation in mutation_list.read_lists(ROOT / "tools" / "mutation" / "mutations", ROOT):
            with self.subTest(id=mutation.id):
                mutation.apply((ROOT / mutation.file).read_text(encoding="utf-8"))


class PlantTest(unittest.TestCase):
    def test_a_restored_file_is_newer_than_what_was_built_from_the_mutation(self):
        with tempfile.TemporaryDirectory() as folder:
            copy = pathlib.Path(folder)
            source = copy / "a.cpp"
            source.write_text("original\n")
            built = copy / "a.o"
            with work_tree.planted(copy, "a.cpp", "mutated\n"):
                self.assertEqual(source.read_text(), "mutated\n")
                built.write_text("object of the mutation")
                os.utime(built, ns=(time.time_ns(),) * 2)
            self.assertEqual(source.read_text(), "original\n")
            self.assertGreater(source.stat().st_mtime_ns, built.stat().st_mtime_ns)

    def test_a_failing_body_still_restores(self):
        with tempfile.TemporaryDirectory() as folder:
            copy = pathlib.Path(folder)
            (copy / "a.cpp").write_text("original\n")
            with self.assertRaises(RuntimeError), work_tree.planted(copy, "a.cpp", "mutated\n"):
                raise RuntimeError()
            self.assertEqual((copy / "a.cpp").read_text(), "original\n")


class CopyTest(unittest.TestCase):
    def test_the_copy_follows_the_repository_and_leaves_unchanged_files_alone(self):
        with tempfile.TemporaryDirectory() as folder:
            root = pathlib.Path(folder) / "repo"
            copy = pathlib.Path(folder) / "copy"
            root.mkdir()
            subprocess.run(["git", "init", "-q", str(root)], check=True)
            (root / ".gitignore").write_text("build/\n")
            (root / "kept.cpp").write_text("kept\n")
            (root / "left.cpp").write_text("left mutated\n")
            (root / "gone.cpp").write_text("gone\n")
            (root / "build").mkdir()
            (root / "build" / "out.o").write_text("never copied\n")
            self.assertEqual(work_tree.sync_copy(root, copy), 4)
            self.assertFalse((copy / "build").exists())

            (copy / "build").mkdir()
            (copy / "build" / "object.o").write_text("the copy's own build\n")
            (copy / "left.cpp").write_text("a mutation a killed run left behind\n")
            old = time.time_ns() - 10**10
            os.utime(copy / "left.cpp", ns=(old, old))
            os.utime(copy / "kept.cpp", ns=(old, old))
            (root / "gone.cpp").unlink()
            before = time.time_ns()
            self.assertEqual(work_tree.sync_copy(root, copy), 2)
            self.assertEqual((copy / "left.cpp").read_text(), "left mutated\n")
            self.assertGreaterEqual((copy / "left.cpp").stat().st_mtime_ns, before)
            self.assertEqual((copy / "kept.cpp").stat().st_mtime_ns, old)
            self.assertFalse((copy / "gone.cpp").exists())
            self.assertTrue((copy / "build" / "object.o").exists())


SAMPLE = '''\
// a < b in a comment stays
int F(int a, int b) {
  const char* text = "a == b";
  if (a < b && !Ready()) return 0;
  Store(a);
  Signal(b);
  return std::vector<int>{a}.size() > 2 ? 7 : 0x10;
}
'''


class GeneratedTest(unittest.TestCase):
    def changes(self):
        lines = SAMPLE.splitlines(keepends=True)
        return {(index, "".join(new), what) for index, _, new, what in generated._candidates("s.cpp", lines)}

    def test_operators_change_code_only(self):
        changes = self.changes()
        self.assertIn((3, "  if (a >= b && !Ready()) return 0;\n", "flip a comparison: < to >="), changes)
        self.assertIn((3, "  if (a < b || !Ready()) return 0;\n", "flip a logical operator: && to ||"), changes)
        self.assertIn((3, "  if (a < b && Ready()) return 0;\n", "drop a '!'"), changes)
        self.assertIn((3, "  if (a < b && !Ready()) return 1;\n", "change the integer 0 to 1"), changes)
        self.assertIn((4, "", "delete the statement"), changes)
        self.assertIn((4, "  Signal(b);\n  Store(a);\n", "swap two adjacent statements"), changes)
        self.assertIn((6, "  return std::vector<int>{a}.size() <= 2 ? 7 : 0x10;\n", "flip a comparison: > to <="), changes)
        touched = {index for index, _, _ in changes}
        self.assertNotIn(0, touched, "a comment was mutated")
        self.assertEqual({what for index, _, what in changes if index == 2}, {"delete the statement"},
                         "a string literal was mutated")
        self.assertFalse([c for c in changes if c[0] == 6 and "0x" not in c[1]], "a hex literal or template was mutated")

    def test_the_seed_picks_the_same_mutations_and_each_applies(self):
        first = generated.generate(ROOT, 30, 7)
        self.assertEqual(first, generated.generate(ROOT, 30, 7))
        self.assertEqual(len({m.id for m in first}), 30)
        for mutation in first:
            with self.subTest(id=mutation.id):
                self.assertTrue(mutation.file.startswith(generated.SOURCES))
                mutation.apply((ROOT / mutation.file).read_text(encoding="utf-8"))


class StageTest(unittest.TestCase):
    def test_each_build_takes_every_test_but_the_runners_own_exactly_once(self):
        names = ["InitSarTest.A", "Steps/X.Y/0  # GetParam() = 56-byte object <CB-B1>", "e2e.default", "timeline.bad_trace",
                 "bench.idle", "wine.default", "wine.real_kernel.spaced_default", "wine.stock.wmi"]
        expected = {"linux": ["unit", "unit", "end-to-end", "end-to-end", "bench", "unit", "unit", "unit"],
                    "windows": ["unit"] * 5 + ["wine", "wine real kernel", "wine"]}
        for build, stages in builds.STAGES.items():
            self.assertEqual([s for s in stages if builds._selects(s[1], s[2], "mutation.runner")], [],
                             "the runner's own tests would judge a mutation")
            for name, stage in zip(names, expected[build]):
                with self.subTest(build=build, name=name):
                    self.assertEqual([s[0] for s in stages if builds._selects(s[1], s[2], name)], [stage])

    def test_a_failing_test_is_seen_in_ctests_progress_lines(self):
        failing = ["  1/104 Test  #22: BlockingWaitTest.X ....Subprocess aborted***Exception:   0.00 sec",
                   "  3/9 Test   #2: e2e.default ..........***Failed    0.47 sec",
                   "  4/9 Test   #5: wine.default .........***Timeout 120.01 sec",
                   "  5/9 Test   #6: T.Y ..................***Not Run   0.00 sec"]
        passing = ["  2/104 Test   #2: InitSarTest.Failed .....   Passed    0.00 sec",
                   "The following tests FAILED:", "        Start  22: BlockingWaitTest.Failed"]
        for line in failing:
            self.assertIsNotNone(builds.FAILED_TEST.search(line), line)
        for line in passing:
            self.assertIsNone(builds.FAILED_TEST.search(line), line)



class StopTest(unittest.TestCase):
    def test_stopping_kills_the_running_child_and_starts_no_more(self):
        with tempfile.TemporaryDirectory() as folder:
            build = builds.Build("linux", pathlib.Path(folder))
            log = pathlib.Path(folder) / "log"
            codes = []
            waiting = threading.Thread(target=lambda: codes.append(build._run(["sleep", "600"], log)))
            waiting.start()
            while not builds._children and waiting.is_alive():  # the child is registered before the thread waits on it
                waiting.join(0.01)
            builds.stop_every_child()
            waiting.join(60)
            self.assertFalse(waiting.is_alive(), "the child outlived the stop")
            self.assertEqual(codes, [-9])
            self.assertEqual(build._run(["true"], log), -9, "a child started after the stop")
            self.assertTrue(builds.stopped())


class ThreadVerdictTest(unittest.TestCase):
    def test_a_build_whose_thread_raises_is_unusable_not_silent(self):
        import importlib.machinery
        import importlib.util
        loader = importlib.machinery.SourceFileLoader("mutation_run", str(ROOT / "tools" / "mutation" / "run"))
        spec = importlib.util.spec_from_loader("mutation_run", loader)
        runner = importlib.util.module_from_spec(spec)
        loader.exec_module(runner)

        class Broken:
            name = "linux"

        results = []
        with open(os.devnull, "w") as quiet, contextlib.redirect_stderr(quiet):
            runner.run_build_or_say_why(Broken(), [], {}, None, pathlib.Path("."), pathlib.Path("."), results)
        self.assertEqual(results, [("linux", "unusable")])

if __name__ == "__main__":
    unittest.main()
