#pragma once

// What "mcishell --help" prints: the program's options, then every command and item the
// engine understands, in brief. docs/mci.md has the details and where they differ from
// the platform the commands come from.
inline constexpr const char* kMcishellHelp = R"(usage: mcishell [--virtual [--numbered]] [--compact-after BYTES] [--compact-percent P]
                [--compact-pause MS] [FILE]
Reads MCI command strings, one a line, from FILE or standard input, and answers each with
its result code (0 is success) and, for a query, the reply in double quotes.
  --virtual         a virtual sound device whose clock moves only while mcishell waits
  --numbered        (with --virtual) every recorded frame carries its own number
  --compact-*       when a take's unused sound is copied away (tests)
Lines of mcishell's own:
  wait MS           sleep MS milliseconds (or move the virtual clock)
  inputs            the sound server's inputs, "name<TAB>description" a line
  # ...             a comment; blank lines are skipped too
Commands (NAME is the alias given to open; times in the element's time format):
  open new type waveaudio alias NAME       a new, empty element (reply: its device id)
  open waveaudio [alias NAME]              the same, addressed as "waveaudio"
  open "<file>.wav" [type waveaudio] [alias NAME]
      an existing PCM WAV file (8 or 16 bits, 1 or 2 channels, 8000-48000 Hz); it is
      written only by a save ("save NAME" with no file saves back to it)
  open "<take folder>" type waveaudio alias NAME   continue a take a run left behind
  close NAME | all                         end the element; unsaved sound goes with it
  set NAME time format milliseconds|ms|bytes|samples
  set NAME bitspersample 8|16  samplespersec 8000-48000  channels 1|2
  set NAME bytespersec N  alignment N  format tag pcm   (must agree with the above)
  set NAME|waveaudio input default|monitor|both|"<input name>"
      what the next recordings take: the default input, what the default output
      plays, both mixed, or one input by name
  status NAME position|length [track 1] | mode | ready | media present | time format
         | number of tracks | current track | samplespersec | channels | bitspersample
         | bytespersec | alignment | format tag | level | input | reason | saving
         | progress
  play NAME [from P] [to Q]
  record NAME [from P] [to Q] [insert|overwrite]
  pause NAME | resume NAME | stop NAME | cue NAME [input|output]
  seek NAME to P|start|end
  delete NAME [from P] [to Q]
  save NAME ["<file>"]
      .flac, .opus or .mp3 (any case) encode in the background: "status NAME saving"
      says true until done, "stop NAME" cancels; any other name is a WAV file
  capability NAME|waveaudio can record|can play|can save|has audio|has video
         | device type|uses files|compound device|can eject|inputs|outputs
  info NAME product|file
  sysinfo all|waveaudio quantity [open] | name N [open] | installname
  play|status|... "<file>.wav"   a file not open is opened for the command and closed
                                  again once stopped
Numbers are decimal or colon bytes, low first ("220:5:0" is 1500); an item of a list
may be given by its number ("status A 4" is the mode).
Any command may also hold:
  wait    return when the play, record or encoded save is done; Ctrl+C ends the
          wait and stops the element, keeping its sound
  notify  then print "notify NAME successful|superseded|aborted|failure" once it
          is known how the command ended
A timed recording:
  open new type waveaudio alias A
  set A bitspersample 16 samplespersec 44100 channels 2
  record A to 5000 wait
  save A "x.wav"
  close A
)";
