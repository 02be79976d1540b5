import os
import subprocess

import pytest

EXAMPLES = os.environ.get("KALVEX_EXAMPLES",
                          os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
CALC = os.environ.get("KALVEX_CALC", "kalvex-calc")


def example(name):
    return os.path.join(EXAMPLES, name)


def num(v):
    """A number as kalvex-calc prints it."""
    return format(v, ".17g")


@pytest.fixture
def calc():
    """Runs kalvex-calc; returns its standard output as lines."""
    def run(*args):
        out = subprocess.run([CALC, *map(str, args)], check=True, capture_output=True,
                             text=True)
        return out.stdout.splitlines()
    return run
