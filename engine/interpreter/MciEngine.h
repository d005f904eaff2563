#pragma once

#include "MciElement.h"
#include "engine/command/MciFlags.h"
#include "engine/command/MciInterface.h"
#include "MciNotices.h"
#include "engine/device/WaveAudioDevice.h"
#include "audio/AudioBackend.h"

#include <cstdint>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace wsx::mci {

// Interprets MCI command strings for waveaudio elements opened with
// "open new type waveaudio alias NAME" or from a WAV file. Verbs, keywords and aliases
// ignore case; each alias names one element.
//
// Parsing, with the platform's codes: an empty command is 267; "open" without a name 292;
// "all" in place of a name is for close and sysinfo only (279; 261 for cue). Every number
// an item takes is decimal or the colon form of up to four byte fields, least significant
// first ("220:5:0" is 1500); anything else, hex included, is 270. An item of a fixed list
// may be given by its number (MciConstants.h): "status NAME 4" is the mode, "capability
// NAME 5" uses files, "set NAME time format 8" bytes (a time format number without a
// format here: 293). The same flag twice is 295; two status or capability items, "time
// format" twice or two seek targets exclude each other: 284. "status NAME position |
// length track 1" is the start and length of the element's one track (another track: 282;
// "track" is ignored by the other items). "open ... shareable" is refused (274): an
// element is never shared.
//
// Takes: each element records into its own take folder under EngineOptions::takeFolder,
// which survives a crash or a kill. Beyond the usual commands this engine understands:
//   open "<take folder>" type waveaudio alias NAME
//       continues a take an earlier run left (TakeStore lists them): stopped at 0, its
//       length and format recovered, the format fixed. 275: not a take; 288: another
//       running program holds it; 296: it cannot be read.
//   open "<file>.wav" [type waveaudio] [alias NAME]   (also "waveaudio!<file>")
//       an existing PCM WAV file (8 or 16 bits, 1 or 2 channels, 8000-48000 Hz; extra
//       chunks and WAVE_FORMAT_EXTENSIBLE with PCM inside are fine) as the element: stopped
//       at 0 with the file's format, fixed, and its sound, copied into the element's take,
//       so the file is written only by a save. Without "type" a .wav ending (any case)
//       chooses waveaudio; another ending: 281 MCIERR_EXTENSION_NOT_FOUND; none: 263.
//       Without an alias the element is addressed by the name as given (opening it again
//       that way: 265 MCIERR_DEVICE_OPEN). 275: no such file; 296: not a PCM WAV file the
//       element can hold, or it cannot be read; 262: the take cannot be made.
//   open waveaudio [alias NAME]
//       the device alone: a new element, addressed as "waveaudio" without an alias.
//   <verb> "<file>.wav" ...   (a WAV file no element is open under)
//       opens the file for the command under that name and closes it again once it stands
//       stopped (MciEngineOpen.cpp). notify on such an element: 300; record, delete: 303.
//   save NAME
//       without a file name: to the file the element was opened from or last saved to
//       ("info NAME file"); a new element never saved has none (273).
//   set NAME bytespersec N | alignment N | format tag pcm|1
//       accepted when they agree with the format the whole command leaves (alignment =
//       channels x bits / 8, bytespersec = rate x alignment), else 282; any tag but PCM
//       is 282. They are never stored: the saved header is always consistent.
//   A take whose sound file is mostly sound recorded over or deleted is compacted in the
//   background (EngineOptions::compactMinBytes, compactPercent), looked after after each
//   command on its element; a kill at any moment of it keeps the take.
//   close NAME / close all
//       discards the element's take. An element that is never closed (the program ended
//       on a signal or was killed) leaves its take on disk when it holds unsaved sound.
//   status NAME reason
//       one word naming why the last record, play or save failed, or why a take stopped by
//       itself (it is then "paused" with all it captured): none, noserver, nodevice, folder
//       (the take folder is unusable), diskfull, serverlost, sizelimit; after a failed save
//       also nofolder, permission, nametoolong, notregular, ioerror. "none" again after the
//       next record or play that starts and the next save that succeeds.
//   set NAME input default | monitor | both | "<source name>"
//       what the element's next recordings take: the server's default source (the start-up
//       choice), the monitor of its default sink (what the computer plays), both of these
//       mixed in the program (audio::CaptureMixer), or one source by its server name (a
//       quoted word is always a name). The defaults are looked up at each record. May be
//       given at any time, with sound or without; a missing named source fails the record
//       as nodevice. "status NAME input" replies the same words, or the name.
//   set waveaudio input ... / status waveaudio input
//       the same for the engine as a whole: every element that has not set its own input
//       records from this one, elements opened later included (so a program's choice
//       outlives "close" and "open new"). "waveaudio" here is the device type; an element
//       aliased waveaudio is addressed instead, should there be one.
//   save NAME "<file>"
//       a name ending in .flac, .opus or .mp3 (any case) is encoded with libsndfile in the
//       background (SoundExport.h has the quality) and the command returns at once; any
//       other name is a WAV file, written before it returns. One save at a time: another
//       while one runs fails with MCIERR_NONAPPLICABLE_FUNCTION. "status NAME saving"
//       replies true while it runs, "status NAME progress" how far it got (0..100); once
//       done, "status NAME reason" says none or why it failed, as for a WAV save. "stop
//       NAME" cancels it. A failed or cancelled save leaves no file, and the take counts as
//       saved only when nothing was recorded or edited while the save ran.
//   status NAME level
//       the loudest sample recorded or played since the last such query, 0..32768 on a
//       16-bit scale whatever the format; 0 while stopped or paused. For a level meter.
//   Every command takes "wait" and "notify" anywhere among its items (MciFlags.h).
//   With wait, play returns when it reached its end, record when it reached its "to"
//   point or stopped by itself, an encoded save when the file is written
//   (MCIERR_FILE_NOT_SAVED if it could not be); every other command at once. Waiting
//   polls the element, calling EngineOptions::idle between looks. With notify, how the
//   command ended goes to the sink set by setNotifySink (ElementNotices has the rules).
//   capability NAME|waveaudio <item>, info NAME product|file, sysinfo all|<type>
//   quantity [open] | name N [open] | installname, cue NAME [input|output]
//       (MciQueries.cpp, WaveAudioDeviceCue.cpp.)
// Thread safety: every call comes from one thread (the UI thread of the recorder, the main
// thread of mcishell). Commands without wait return at once; recording and playing go on
// in the background and are observed by polling "status".
class MciEngine final : public MciInterface {
public:
    explicit MciEngine(audio::AudioBackend& backend, EngineOptions options = {});
    ~MciEngine() override;

    uint32_t mciSendString(std::string_view command, std::string* reply) override;

    // The element open under `alias`, or null.
    WaveAudioDevice* device(std::string_view alias);

    // Where notifications go; none are kept while there is no sink.
    void setNotifySink(NotifySink sink) { m_notices.setSink(std::move(sink)); }
    // Sends the notifications of plays, records and saves that ended since the last command
    // (every command looks first anyway): for a caller that waits between commands.
    void pollNotifications() { m_notices.poll(); }

private:
    uint32_t dispatch(const std::vector<Token>& t, const CommandFlags& flags, std::string& reply);
    uint32_t open(std::span<const Token> tokens, bool notify, std::string& reply);
    uint32_t close(std::span<const Token> tokens, bool notify);
    // MciEngineOpen.cpp. Makes the element and replies its device id.
    uint32_t addElement(const OpenTarget& target, const std::string& alias, std::string& reply);
    // A command named a WAV file that is not open: opens it under that name for the command
    // (263 when the name is no WAV file; 300 with notify; 303 for record and delete, which
    // would change an element that closes by itself).
    uint32_t autoOpen(const Token& name, std::string_view verb, bool notify, WaveAudioDevice*& dev);
    // Closes the elements a command opened by itself once they stand stopped.
    void closeFinishedAutoOpened();
    using Elements = std::map<std::string, std::unique_ptr<WaveAudioDevice>>;
    // Discards the element and forgets it everywhere; the next element.
    Elements::iterator removeElement(Elements::iterator it, bool notify);
    // MciEngineWait.cpp: after `verb` started on the element, returns once it is done.
    uint32_t waitFor(const std::string& key, std::string_view verb, WaveAudioDevice& dev);
    // MciQueries.cpp. `tokens` start with the device name.
    uint32_t sysinfo(std::span<const Token> tokens, std::string& reply);
    uint32_t capability(std::span<const Token> items, std::string& reply);
    static uint32_t info(const WaveAudioDevice& dev, std::span<const Token> items,
                         std::string& reply);
    // "set waveaudio input ..." and "status waveaudio input": the engine's input.
    uint32_t deviceTypeCommand(const std::string& verb, std::span<const Token> items,
                               std::string& reply);

    audio::AudioBackend& m_backend;
    EngineOptions m_options;
    audio::CaptureSource m_input;  // "set waveaudio input"; the elements refer to it
    Elements m_devices;            // by lower-case alias
    struct OpenElement {
        std::string alias;  // as given
        uint32_t id;        // the device id "open" replied
    };
    std::vector<OpenElement> m_openOrder;  // oldest first
    std::set<std::string> m_autoOpened;    // keys of the elements commands opened by themselves
    ElementNotices m_notices;
};

}  // namespace wsx::mci
