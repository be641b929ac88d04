# Copies the program file named by src from the controller to the managed
# host, then runs the tav32 module with it.
from __future__ import annotations

from ansible.plugins.action import ActionBase


class ActionModule(ActionBase):
    TRANSFERS_FILES = True

    def run(self, tmp=None, task_vars=None):
        result = super().run(tmp, task_vars)
        args = dict(self._task.args)
        src = args.pop("src", None)
        if src is not None:
            if args.get("program"):
                return dict(result, failed=True, msg="src and program are mutually exclusive")
            source = self._find_needle("files", src)
            if self._connection._shell.tmpdir is None:
                self._make_tmp_path()
            remote = self._connection._shell.join_path(self._connection._shell.tmpdir, "program.tav")
            self._transfer_file(source, remote)
            self._fixup_perms2((self._connection._shell.tmpdir, remote))
            args["program"] = remote
        result.update(self._execute_module(module_name="tav32.update.tav32", module_args=args,
                                           task_vars=task_vars))
        return result
