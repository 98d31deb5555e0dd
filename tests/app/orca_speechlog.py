#!/usr/bin/python3
"""Runs the installed Orca with its speech written to a log instead of a
speech synthesizer: one line per utterance, "SPEAK <text>", and a line
"BAD <what>" for anything Orca was handed to speak that is no text (it
drops that silently).  Settings start from Orca's defaults in a private
home; the caller gives the D-Bus session, the accessibility bus and the X
display.

Usage: orca_speechlog.py <log file>
"""
import os
import sys

LOG = sys.argv[1]
sys.argv = [sys.argv[0]]


def write(kind, text):
    text = " ".join(str(text).split())
    with open(LOG, "a", encoding="utf-8") as f:
        f.write("%s %s\n" % (kind, text))
        f.flush()


try:
    from orca import orca, settings, speech
except Exception as e:  # not installed, or a part of it missing
    write("FAIL", "orca cannot be imported: %r" % e)
    sys.exit(77)

# No synthesizer: every factory fails, and what would be said is logged.
settings.speechServerFactory = None
settings.speechFactoryModules = []
settings.enableSound = False


def _speak(text, acss, interrupt):
    write("SPEAK", text)


_orig_speak = speech.speak


def speak(content, acss=None, interrupt=True):
    valid = (str, list, speech.speech_generator.Pause, speech.speech_generator.LineBreak, speech.ACSS)

    # Nested lists come back through here one level at a time.
    for item in content if isinstance(content, list) else [content]:
        if not isinstance(item, valid):
            write("BAD", repr(item))
    return _orig_speak(content, acss, interrupt)


def sayAll(iterator, progress):
    for context, acss in iterator:
        write("SPEAK", context.utterance)


speech._speak = _speak
speech.speak = speak
speech.sayAll = sayAll

manager = orca.getSettingsManager()
manager.activate(None, {"enableSpeech": True, "enableSound": False, "speechServerFactory": None,
                        "enableBraille": False, "enableMouseReview": False, "enableTutorialMessages": False})
sys.path.insert(0, manager.getPrefsDir())
write("START", "orca %s pid %d" % (getattr(orca, "orca_platform").version, os.getpid()))
sys.exit(orca.main())
