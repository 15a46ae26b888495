-- Veltrana database schema: the twelve tables the client reads and writes.
-- Load into an existing, empty database (scripts/setup-db.sh does it).
-- Names are spelled as the client's statements spell them; the server runs with
-- lower-case-table-names=1, so every spelling reaches the same table.
-- Text columns are sized for what users type: names, topics and subjects 400 characters,
-- links and folder paths 4000, descriptions and messages MEDIUMTEXT. The server runs in
-- strict mode, so a longer value is refused with an error instead of being stored cut.
-- Columns of more than 255 bytes (every VARCHAR here beyond 63 characters, at 4 bytes per
-- utf8mb4 character) reach the client as memo fields; the client reads every text column as
-- text whatever field type it arrives as.
-- Only key columns are NOT NULL: the access layer describes every NOT NULL column of a
-- table (one extra exchange with the server each) the first time a statement on it is
-- opened, and the client opens most statements once. The defaults fill what the client
-- does not write.
-- Every table has a primary key (the database may run on a cluster that replicates rows by
-- key). Tables without a natural one get an auto-increment id that is INVISIBLE: "SELECT *"
-- and "INSERT ... VALUES" without a column list see the table as before.
-- The schema's version is the one row of schema_version; scripts/setup-db.sh --upgrade brings
-- a database of an earlier version up to this one (sql/upgrade/).

CREATE TABLE Users (
  Username        VARCHAR(400) NOT NULL,
  password        VARCHAR(400) NULL DEFAULT '',
  FirstName       VARCHAR(400) NULL DEFAULT '',
  LastName        VARCHAR(400) NULL DEFAULT '',
  email           VARCHAR(400) NULL DEFAULT '',
  Position        VARCHAR(400) NULL DEFAULT '',
  Role            VARCHAR(20) NULL DEFAULT 'USER',
  Created         DATETIME     NULL,
  lastPollRequest DATETIME     NULL,
  -- The document the user is changing and since when (server time), NULL when none; written
  -- with the presence stamp. INVISIBLE, so "SELECT *" and "INSERT ... VALUES" stay as before.
  EditingDocument INT          NULL INVISIBLE,
  EditingSince    DATETIME     NULL INVISIBLE,
  PRIMARY KEY (Username)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE global_settings (
  SettingsID  INT NOT NULL AUTO_INCREMENT INVISIBLE,
  commondir   VARCHAR(4000) NULL DEFAULT '',
  attachments VARCHAR(4000) NULL DEFAULT '',
  documents   VARCHAR(4000) NULL DEFAULT '',
  SaveAsFiles INT         NULL DEFAULT 0,
  PRIMARY KEY (SettingsID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE Projects (
  ProjectID      INT NOT NULL AUTO_INCREMENT,
  ProjectName    VARCHAR(400) NULL DEFAULT '',
  Description    MEDIUMTEXT NULL,
  createdate     DATETIME NULL,
  ProjectManager VARCHAR(400) NULL DEFAULT '',
  PRIMARY KEY (ProjectID),
  KEY (ProjectName)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- A surrogate key: nothing stops two equal rows, and an upgrade keeps those it finds.
CREATE TABLE ProjectMembers (
  MemberID  INT NOT NULL AUTO_INCREMENT INVISIBLE,
  UserName  VARCHAR(400) NULL,
  ProjectID INT NULL,
  PRIMARY KEY (MemberID),
  KEY (UserName),
  KEY (ProjectID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE Catagories (
  CatagoryID   INT NOT NULL AUTO_INCREMENT,
  ProjectID    INT NULL DEFAULT 0,
  CatagoryName VARCHAR(400) NULL DEFAULT '',
  Description  MEDIUMTEXT NULL,
  PRIMARY KEY (CatagoryID),
  KEY (ProjectID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE Requirements (
  RequirementID   INT NOT NULL AUTO_INCREMENT,
  hash            INT NULL DEFAULT 0,
  Level           INT NULL DEFAULT 2,
  ParentID        INT NULL DEFAULT 0,
  RequirementName VARCHAR(400) NULL DEFAULT '',
  Created         DATETIME NULL,
  Owner           VARCHAR(400) NULL DEFAULT '',
  modified        DATETIME NULL,
  modifiedBy      VARCHAR(400) NULL DEFAULT '',
  Version         DOUBLE NULL DEFAULT 1.0,
  Status          VARCHAR(60) NULL DEFAULT 'Submitted',
  Priority        VARCHAR(60) NULL DEFAULT 'Unassigned',
  Messages        INT NULL DEFAULT 0,
  Attachments     INT NULL DEFAULT 0,
  Revision        INT NOT NULL DEFAULT 1 INVISIBLE,
  PRIMARY KEY (RequirementID),
  KEY (ParentID),
  KEY (RequirementName, hash)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE Req_objects (
  ObjectID      INT NOT NULL AUTO_INCREMENT,
  RequirementID INT NULL DEFAULT 0,
  Document      LONGBLOB NULL,
  PRIMARY KEY (ObjectID),
  KEY (RequirementID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE Req_messages (
  msgID         INT NOT NULL AUTO_INCREMENT,
  Subject       VARCHAR(400) NULL DEFAULT '',
  Name          VARCHAR(400) NULL DEFAULT '',
  msg           MEDIUMTEXT NULL,
  created       DATETIME NULL,
  RequirementID INT NULL DEFAULT 0,
  hash          INT NULL DEFAULT 0,
  ParentID      INT NULL DEFAULT 0,
  ProjectID     INT NULL DEFAULT 0,
  PRIMARY KEY (msgID),
  KEY (RequirementID),
  KEY (Subject, hash)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- No column here may share a name with a column of Req_messages other than msgID and
-- RequirementID: statements join the two and name columns without a table prefix.
CREATE TABLE msg_state (
  StateID       INT NOT NULL AUTO_INCREMENT INVISIBLE,
  RequirementID INT NULL DEFAULT 0,
  msgID         INT NULL DEFAULT 0,
  username      VARCHAR(400) NULL DEFAULT '',
  state         INT NULL DEFAULT 1,
  PRIMARY KEY (StateID),
  KEY (msgID),
  KEY (username, state)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE Attachments (
  AttachID      INT NOT NULL AUTO_INCREMENT,
  RequirementID INT NULL DEFAULT 0,
  Link          VARCHAR(4000) NULL DEFAULT '',
  Description   VARCHAR(1000) NULL DEFAULT '',
  Owner         VARCHAR(400) NULL DEFAULT '',
  Created       DATETIME NULL,
  Filetype      INT NULL DEFAULT 0,
  PRIMARY KEY (AttachID),
  KEY (RequirementID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE activity_Log (
  LogID      INT NOT NULL AUTO_INCREMENT INVISIBLE,
  Note       VARCHAR(20) NULL DEFAULT '',
  ModifiedBy VARCHAR(400) NULL DEFAULT '',
  ModifyDate DATETIME NULL,
  ProjectID  INT NULL DEFAULT 0,
  CatagoryID INT NULL DEFAULT 0,
  DocumentID INT NULL DEFAULT 0,
  msgID      INT NULL DEFAULT 0,
  PRIMARY KEY (LogID),
  KEY (ProjectID),
  KEY (ModifyDate),
  -- Recent Updates reads the saves of the user's projects past the far more numerous notices.
  KEY NoteProjectDate (Note, ProjectID, ModifyDate)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- The versions of a document that saves replaced, one row each: the topic and body as they were,
-- when and by whom that version was stored, and the body's size (so that a list of revisions
-- reads no bodies). Requirements.Revision is the number of the current version; a save stores
-- the version it replaces here under that number and counts the column up.
CREATE TABLE Req_revisions (
  RequirementID   INT NOT NULL,
  Revision        INT NOT NULL,
  Saved           DATETIME NULL,
  SavedBy         VARCHAR(400) NULL DEFAULT '',
  RequirementName VARCHAR(400) NULL DEFAULT '',
  Document        LONGBLOB NULL,
  DocSize         INT NULL DEFAULT 0,
  PRIMARY KEY (RequirementID, Revision)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- Search. The server cannot read bodies (binary rich text, maybe compressed, maybe files in the
-- shared folder), so the client that saves a body also stores its plain text here, in the same
-- transaction. Chinese and Japanese have no spaces between words and the tokenizer would index a
-- whole run as one word: BodyPairs holds every such run again as overlapping two-character
-- words, which a search for a word of two or more such characters finds as a phrase.
-- The FULLTEXT indexes below assume the server's innodb_ft_min_token_size=2 (sql/server.cnf);
-- stop words are switched off for this connection so that the indexes are built without them.
SET SESSION innodb_ft_enable_stopword = 0;

CREATE TABLE search_body_text (
  RequirementID INT NOT NULL,
  BodyText      LONGTEXT NULL,
  BodyPairs     LONGTEXT NULL,
  PRIMARY KEY (RequirementID),
  FULLTEXT KEY ft_search_body (BodyText, BodyPairs)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

ALTER TABLE Requirements ADD FULLTEXT KEY ft_search_topic (RequirementName);
ALTER TABLE Req_messages ADD FULLTEXT KEY ft_search_message (Subject, msg);
ALTER TABLE Attachments ADD FULLTEXT KEY ft_search_attachment (Link, Description);

-- The schema's version: one row. A database without this table has version 1.
CREATE TABLE schema_version (
  VersionID TINYINT NOT NULL,
  Version   INT     NOT NULL,
  PRIMARY KEY (VersionID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
INSERT INTO schema_version (VersionID, Version) VALUES (1, 6);
