#include "text/stopwords.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <unordered_set>

namespace somlabel::text {
namespace {

constexpr std::string_view kEnglish = R"(
a about above across after afterwards again against all almost alone along already also
although always am among amongst an and another any anyhow anyone anything anyway anywhere
are aren't around as at be became because become becomes becoming been before beforehand
behind being below beside besides between beyond both but by can cannot can't could couldn't
did didn't do does doesn't doing don't done down due during each either else elsewhere
enough etc even ever every everyone everything everywhere except few for former formerly
from further had hadn't has hasn't have haven't having he hence her here hereafter hereby
herein hers herself him himself his how however i i.e e.g if in indeed into is isn't it
it's its itself just last latter latterly least less let like many may me meanwhile might
mine more moreover most mostly much must my myself namely neither never nevertheless next
no nobody none nor not nothing now nowhere of off often on once one only onto or other
others otherwise our ours ourselves out over own per perhaps rather re same several she
should shouldn't since so some somehow someone something sometime sometimes somewhere still
such than that that's the their theirs them themselves then thence there thereafter thereby
therefore therein thereupon these they this those though through throughout thru thus to
together too toward towards under until up upon us very via was wasn't we well were weren't
what whatever when whence whenever where whereafter whereas whereby wherein whereupon
wherever whether which while whither who whoever whole whom whose why will with within
without would wouldn't yet you your yours yourself yourselves
able according accordingly actually allow allows almost already always apparently appear
appears applied apply applying approximately associated available based basically become
best better can could consider considered considering contain containing contains
corresponding currently described describe describes different directly discussed does
due easily effectively eg either especially et al etc fig figure figures finally first
following follows found further furthermore generally get gets getting given gives giving
go goes going good gotten greater greatly here high higher highly however ie important
include included includes including increase increased increases indeed instead
introduce introduced introduces involves known large larger largely later latter least
less lower made mainly make makes making many may mean means more mostly much need needed
needs new novel obtained obtain often particular particularly possible possibly present
presented presents previous previously proposed propose proposes provide provided provides
providing quite rather really recent recently related relatively respectively result
resulting results said second see seem seemed seems seen shown show showed shows
significantly similar similarly simple simply since small smaller so specific specifically
studied study such suggest suggests take taken takes therefore thing things third thus
typically use used useful uses using usually various way ways well whether will within
work works yet paper article section sections chapter table tables example examples
i.e. e.g. lot lots also
near beneath underneath versus despite unlike amid amidst till regarding
one two three four five six seven eight nine ten first second third fourth fifth
)";

constexpr std::string_view kGerman = R"(
aber alle allem allen aller alles als also am an ander andere anderem anderen anderer
anderes anderm andern anderr anders auch auf aus bei bin bis bist da damit dann das dass
daß dasselbe dazu dein deine deinem deinen deiner deines dem demselben den denn denselben
der derer derselbe derselben des desselben dessen dich die dies diese dieselbe dieselben
diesem diesen dieser dieses dir doch dort du durch ein eine einem einen einer eines einig
einige einigem einigen einiger einiges einmal er es etwas euch euer eure eurem euren eurer
eures für gegen gewesen hab habe haben hat hatte hatten hier hin hinter ich ihm ihn ihnen
ihr ihre ihrem ihren ihrer ihres im in indem ins ist jede jedem jeden jeder jedes jene
jenem jenen jener jenes jetzt kann kein keine keinem keinen keiner keines können könnte
machen man manche manchem manchen mancher manches mein meine meinem meinen meiner meines
mich mir mit muss musste nach nicht nichts noch nun nur ob oder ohne sehr sein seine
seinem seinen seiner seines selbst sich sie sind so solche solchem solchen solcher solches
soll sollte sondern sonst über um und uns unsere unserem unseren unser unseres unter viel
vom von vor während war waren warst was weg weil weiter welche welchem welchen welcher
welches wenn werde werden wie wieder will wir wird wirst wo wollen wollte würde würden zu
zum zur zwar zwischen sowie bereits dabei daher darauf dafür damals denen deren wurde
wurden worden ab seit beim ebenfalls jedoch sowohl zwei drei eins
)";

constexpr std::string_view kFrench = R"(
au aux avec ce ces dans de des du elle en et eux il ils je la le les leur leurs lui ma mais
me même mes moi mon ne nos notre nous on ou où par pas pour qu que qui sa se ses son sur ta
te tes toi ton tu un une vos votre vous c d j l à m n s t y été étée étées étés étant étante
étants étantes suis es est sommes êtes sont serai seras sera serons serez seront serais
serait serions seriez seraient étais était étions étiez étaient fus fut fûmes fûtes furent
sois soit soyons soyez soient fusse fusses fût fussions fussiez fussent ayant eu eue eues
eus ai as avons avez ont aurai auras aura aurons aurez auront aurais aurait aurions auriez
auraient avais avait avions aviez avaient eut eûmes eûtes eurent aie aies ait ayons ayez
aient eusse eusses eût eussions eussiez eussent ceci cela celà cet cette ici ils les leurs
quel quels quelle quelles sans soi aussi autre autres avant après alors bien car comme
comment donc dont encore entre fait faire peu plus sous tous tout toute toutes très
deux trois sur selon ainsi lors
)";

constexpr std::string_view kSpanish = R"(
a al algo algunas algunos ante antes como con contra cual cuando de del desde donde durante
e el él ella ellas ellos en entre era erais eran eras eres es esa esas ese eso esos esta
está están estas este esto estos fue fueron fui fuimos ha había habían han has hasta hay
la las le les lo los más me mi mis mucho muchos muy nada ni no nos nosotros o os otra
otras otro otros para pero poco por porque que qué quien quienes se sea sean ser si sí
siempre sido sin sobre sois somos son soy su sus también tanto te tenemos tener tengo ti
tiene tienen todo todos tu tus un una uno unos vosotros y ya yo cada cuya cuyo dos tres
entonces estaba estaban estado estar hacer hace puede pueden según sino tan todas
)";

using WordSet = std::unordered_set<std::string_view>;

WordSet split_words(std::string_view text) {
  WordSet words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\n')) ++i;
    std::size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\n') ++i;
    if (i > start) words.insert(text.substr(start, i - start));
  }
  return words;
}

const WordSet& words_of(Language lang) {
  // Built once on first use; initialisation of function statics is thread-safe.
  static const WordSet english = split_words(kEnglish);
  static const WordSet german = split_words(kGerman);
  static const WordSet french = split_words(kFrench);
  static const WordSet spanish = split_words(kSpanish);
  switch (lang) {
    case Language::german: return german;
    case Language::french: return french;
    case Language::spanish: return spanish;
    case Language::english: break;
  }
  return english;
}

// An English contraction ("won't", "you'll", "we've", "it's") is a function word, whatever
// the apostrophe: the list holds only the common ones, and the lexicon knows none, so one it
// lacked passed for a name and became a label. A possessive ("user's") is no contraction.
bool is_english_contraction(std::string_view word) {
  constexpr std::string_view kEndings[] = {"n't", "'re", "'ve", "'ll", "'d", "'m"};
  constexpr std::string_view kBeforeIs[] = {"he",   "she",   "it",  "that", "there", "here",
                                            "what", "where", "who", "how",  "let"};
  std::size_t apostrophe = word.rfind('\'');
  if (apostrophe == std::string_view::npos || apostrophe == 0) return false;
  for (std::string_view ending : kEndings)
    if (word.size() > ending.size() && word.ends_with(ending)) return true;
  if (word.substr(apostrophe) != "'s") return false;
  return std::find(std::begin(kBeforeIs), std::end(kBeforeIs), word.substr(0, apostrophe)) !=
         std::end(kBeforeIs);
}

}  // namespace

bool is_stopword(Language lang, std::string_view word) {
  if (words_of(lang).count(word) != 0) return true;
  if (lang != Language::english) return false;
  constexpr std::string_view kTypographic = "\u2019";  // the right single quotation mark
  if (word.find(kTypographic) == std::string_view::npos) return is_english_contraction(word);
  std::string plain(word);
  for (std::size_t at; (at = plain.find(kTypographic)) != std::string::npos;)
    plain.replace(at, kTypographic.size(), "'");
  return words_of(lang).count(plain) != 0 || is_english_contraction(plain);
}

}  // namespace somlabel::text
