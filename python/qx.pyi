# Type stubs of the qx extension module.
import enum
from typing import Any, Callable, Optional, Sequence, Tuple, Union, List

import numpy as np
import numpy.typing as npt

_Shape = Union[int, Tuple[int], Tuple[int, int]]
_DType = Union[str, npt.DTypeLike]

class ErrorType(enum.IntEnum):
    NOERROR = 0
    UNKNOWN = 1
    SYNTAX = 2
    DECLARATION = 3
    RESERVEDWORD = 4
    INDEX = 5
    CONSTLVALUE = 6
    TYPEMISMATCH = 7
    NAMEEXPECTED = 8
    FUNCDECLARED = 9
    VARDECLARED = 10
    OPENEXPECTED = 11
    CLOSEEXPECTED = 12
    UNDEFINEDVAR = 13
    NORETURNTYPE = 14
    UNKNOWNIDENT = 15
    NOREFERENCE = 17
    INTERPRETER = 18
    DIVZERO = 19
    NOTRESIZEABLE = 20

class CallSite:
    @property
    def function(self) -> str: ...
    @property
    def line(self) -> int: ...
    @property
    def pos(self) -> int: ...

class Error(Exception):
    type: ErrorType
    line: int
    pos: int
    text: str

class CompileError(Error): ...

class RunError(Error):
    trace: List[CallSite]

class Compiler:
    clipping: bool
    smart_error: bool
    def __init__(self, std: bool = True) -> None: ...
    def bind(self, name: str, array: np.ndarray, *, const: bool = False) -> None: ...
    def unbind(self, name: str) -> None: ...
    def declare(self, name: str, dtype: _DType = "double", shape: Optional[_Shape] = None) -> None: ...
    def __getitem__(self, name: str) -> np.ndarray: ...
    def __setitem__(self, name: str, value: npt.ArrayLike) -> None: ...
    def __contains__(self, name: str) -> bool: ...
    def compile(self, text: str) -> None: ...
    def run(self) -> None: ...
    def call(self, name: str, *args: npt.ArrayLike) -> Optional[np.ndarray]: ...
    def listing(self) -> str: ...
    def access(self, function: Optional[str] = None) -> Tuple[List[str], List[str]]: ...
    def std(self) -> None: ...
    def register(
        self,
        name: str,
        function: Callable[..., Any],
        params: Optional[Sequence[str]] = None,
        *,
        returns: bool = True,
    ) -> None: ...
    def interrupt(self) -> None: ...
    def set_instruction_limit(self, count: int) -> None: ...
    def clear(self) -> None: ...
    def clear_script(self) -> None: ...
